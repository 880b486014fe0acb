#include <QApplication>
#include <QTest>

#include "support/ui/window_fixture.h"
#include "ui/toolkit.h"

namespace zel::test {
namespace {

namespace fs = std::filesystem;

int lineCount(const std::string& text) {
    int n = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", start)) {
        out.push_back(text.substr(start, p - start));
        start = p + 2;
    }
    return out;
}

using SettingsHandlersTest = WindowTest;

TEST_F(SettingsHandlersTest, FirstStartWritesNothingIntoTheNewFile) {
    auto& w = window();
    w.Form_Load();
    ASSERT_TRUE(fs::exists(settingsFile()));
    EXPECT_EQ(fs::file_size(settingsFile()), 0u);
    EXPECT_EQ(checkValue(*w.chkYedek1), 1);
    EXPECT_EQ(w.dtyedek2->time(), QTime(17, 0, 0));
    EXPECT_EQ(w.dtYedek3->time(), QTime(12, 0, 0));
    EXPECT_TRUE(w.settingsLoaded());
}

TEST_F(SettingsHandlersTest, NoSaveBeforeLoadingHasFinished) {
    auto& w = window();
    setCheckValue(*w.chkYedek2, 1);
    EXPECT_FALSE(fs::exists(settingsFile()));
}

TEST_F(SettingsHandlersTest, ClickingASwitchWritesAllFourteenLines) {
    auto& w = window();
    w.Form_Load();
    w.show();
    QTest::mouseClick(w.chkYedek2, Qt::LeftButton, {}, QPoint(8, w.chkYedek2->height() / 2));
    std::string text = readFile(settingsFile());
    ASSERT_EQ(lineCount(text), 14);
    auto lines = linesOf(text);
    EXPECT_TRUE(lines[10] == "0" || lines[10] == "1" || lines[10] == "2") << lines[10];
    EXPECT_EQ(lines[10], std::to_string(checkValue(*w.chkYedek2)));
    EXPECT_EQ(lines[0], "c:\\brevund");
    EXPECT_EQ(lines[13], "12:00:00");
}

TEST_F(SettingsHandlersTest, TypingSavesNothingUntilTheBoxIsLeft) {
    auto& w = window();
    w.Form_Load();
    w.show();
    QApplication::setActiveWindow(&w);
    w.txtHedef[1]->setFocus();
    QApplication::processEvents();
    const std::string beforeTyping = readFile(settingsFile());  // focus moves on showing may have saved
    w.txtHedef[1]->selectAll();
    QTest::keyClicks(w.txtHedef[1], "d:\\yeni");
    EXPECT_EQ(readFile(settingsFile()), beforeTyping);
    const int before = w.handlerCounts().saveSettings;
    w.txtKaynak[2]->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(w.handlerCounts().saveSettings, before + 1);
    auto lines = linesOf(readFile(settingsFile()));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[3], "d:\\yeni");
}

TEST_F(SettingsHandlersTest, ChangingATimeSavesAtOnce) {
    auto& w = window();
    w.Form_Load();
    w.dtYedek1->setTime(QTime(4, 30, 15));
    auto lines = linesOf(readFile(settingsFile()));
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[9], "04:30:15");
}

TEST_F(SettingsHandlersTest, LoadingAnExistingFileLeavesItsBytes) {
    const std::string text =
        "c:\\a\r\nc:\\b\r\nc:\\a\r\nc:\\b\r\nc:\\a\r\nc:\\b\r\nc:\\a\r\nc:\\b\r\n0\r\n01:02:03\r\n2\r\n04:05:"
        "06\r\n1\r\n07:08:09\r\n";
    writeFile(settingsFile(), text);
    auto& w = window();
    w.Form_Load();
    EXPECT_EQ(readFile(settingsFile()), text);
    EXPECT_EQ(checkValue(*w.chkYedek2), 2);
    EXPECT_EQ(w.dtYedek3->time(), QTime(7, 8, 9));
    EXPECT_EQ(w.txtHedef[3]->text(), QStringLiteral("c:\\b"));
}

}  // namespace
}  // namespace zel::test
