#include "channel/protocol.h"

#include <gtest/gtest.h>

#include "service/service_panel.h"

namespace zel {
namespace {

using F = PanelChange::Field;

TEST(ChannelProtocol, EveryValueOfAPanelTravelsIntoAnotherPanel) {
    ServicePanel from({});
    from.setSourceText(2, "c:\\brevund\\veri");
    from.setTargetText(3, "\\\\sunucu\\yedek");
    from.setSwitchValue(1, 2);
    from.setPickerTime(2, {23, 59, 58});
    from.setKeepArchivesValue(14);
    from.setMissedRunValue(1);
    from.setCopyEnabled(false);
    from.setCaption(Caption::cmdExit, "İptal");
    from.setCaption(Caption::lblSon, "Son yedekleme: 05.03.2024 09:07");

    std::vector<PanelChange> told;
    ServicePanel to([&](const PanelChange& c) { told.push_back(c); });
    for (const PanelChange& value : panelSnapshot(from)) {
        const std::optional<PanelChange> parsed = parsePanelChange(panelMessage(value));
        ASSERT_TRUE(parsed) << encodeMessage(panelMessage(value));
        applyPanelChange(to, *parsed);
    }
    EXPECT_EQ(panelSnapshot(to), panelSnapshot(from));
    EXPECT_EQ(told.size(), 9u);  // only what differed from a fresh panel was told
}

TEST(ChannelProtocol, ValuesOutOfRangeAreNoMessage) {
    const std::vector<Message> refused{
        {"source", "4", "c:\\x"},
        {"source", "-1", "c:\\x"},
        {"source", "0"},
        {"target", "01x", "c:\\x"},
        {"switch", "0", "3"},
        {"switch", "3", "1"},
        {"time", "0", "24:00:00"},
        {"time", "0", "5:00:00"},
        {"time", "0", "05:60:00"},
        {"keep", "1000"},
        {"keep", ""},
        {"missed", "2"},
        {"caption", "Timer2", "x"},
        {"copy", "1", "1"},
        {"nothing"},
    };
    for (const Message& m : refused) EXPECT_FALSE(parsePanelChange(m)) << encodeMessage(m);
}

TEST(ChannelProtocol, AWindowMayChangeTheSettingsButNotTheButtonsOrLabels) {
    for (const Message& m :
         std::vector<Message>{{"source", "0", "c:\\a"}, {"switch", "2", "1"}, {"keep", "3"}})
        EXPECT_TRUE(userMayChange(*parsePanelChange(m)));
    for (const Message& m : std::vector<Message>{{"copy", "1"}, {"caption", "lblSon", "x"}})
        EXPECT_FALSE(userMayChange(*parsePanelChange(m)));
}

TEST(ChannelProtocol, HelloNamesAVersionAndAKnownRole) {
    const std::optional<Hello> hello = parseHello(helloMessage({"1.0.0", ClientRole::Run}));
    ASSERT_TRUE(hello);
    EXPECT_EQ(hello->version, "1.0.0");
    EXPECT_EQ(hello->role, ClientRole::Run);
    EXPECT_FALSE(parseHello({"hello", "1.0.0", "admin"}));
    EXPECT_FALSE(parseHello({"hello", "1.0.0"}));
}

TEST(ChannelProtocol, WelcomeCarriesOnlyWatcherOrManager) {
    for (const PeerAccess access : {PeerAccess::Watcher, PeerAccess::Manager})
        EXPECT_EQ(parseWelcome(welcomeMessage(access)), access);
    for (const Message& m : std::vector<Message>{{"welcome"}, {"welcome", "admin"}, {"welcome", "manager", "x"}})
        EXPECT_FALSE(parseWelcome(m)) << m.size();
}

}  // namespace
}  // namespace zel
