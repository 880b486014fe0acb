#include "channel/protocol.h"

#include <array>
#include <charconv>

#include "engine/date_text.h"

namespace zel {
namespace {

constexpr std::array<std::string_view, 3> kRoles{"window", "status", "run"};
constexpr std::array<std::string_view, 8> kFields{"source", "target", "switch", "time",
                                                  "keep",   "missed", "copy",   "caption"};
constexpr std::array<std::string_view, 5> kCaptions{"cmdExit", "lblInfo", "lblTime", "lblSon", "frmMain"};

// A whole decimal number within [low, high], nothing else.
std::optional<int> number(const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::optional<TimeOfDay> timeOfDay(const std::string& text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
    const auto h = number(text.substr(0, 2), 0, 23);
    const auto m = number(text.substr(3, 2), 0, 59);
    const auto s = number(text.substr(6, 2), 0, 59);
    if (!h || !m || !s) return std::nullopt;
    return TimeOfDay{*h, *m, *s};
}

template <std::size_t N>
std::optional<int> indexOf(const std::array<std::string_view, N>& names, const std::string& name) {
    for (std::size_t i = 0; i < N; ++i)
        if (names[i] == name) return static_cast<int>(i);
    return std::nullopt;
}

}  // namespace

bool isVerb(const Message& message, std::string_view verb, std::size_t fields) {
    return message.size() == fields + 1 && message[0] == verb;
}

Message helloMessage(const Hello& hello) {
    return {"hello", hello.version, std::string(kRoles[static_cast<std::size_t>(hello.role)])};
}

std::optional<Hello> parseHello(const Message& message) {
    if (!isVerb(message, "hello", 2)) return std::nullopt;
    const auto role = indexOf(kRoles, message[2]);
    if (!role) return std::nullopt;
    return Hello{message[1], static_cast<ClientRole>(*role)};
}

Message welcomeMessage(PeerAccess access) {
    return {std::string(verb::kWelcome), access == PeerAccess::Manager ? "manager" : "watcher"};
}

std::optional<PeerAccess> parseWelcome(const Message& message) {
    if (!isVerb(message, verb::kWelcome, 1)) return std::nullopt;
    if (message[1] == "manager") return PeerAccess::Manager;
    if (message[1] == "watcher") return PeerAccess::Watcher;
    return std::nullopt;
}

Message panelMessage(const PanelChange& c) {
    const std::string field(kFields[static_cast<std::size_t>(c.field)]);
    switch (c.field) {
        case PanelChange::Field::Source:
        case PanelChange::Field::Target:
            return {field, std::to_string(c.index), c.text};
        case PanelChange::Field::Switch:
            return {field, std::to_string(c.index), std::to_string(c.number)};
        case PanelChange::Field::Time:
            return {field, std::to_string(c.index), timeOfDayText(c.time, ":")};
        case PanelChange::Field::Caption:
            return {field, std::string(kCaptions[static_cast<std::size_t>(c.index)]), c.text};
        case PanelChange::Field::Keep:
        case PanelChange::Field::Missed:
        case PanelChange::Field::CopyEnabled:
            break;
    }
    return {field, std::to_string(c.number)};
}

std::optional<PanelChange> parsePanelChange(const Message& m) {
    if (m.empty()) return std::nullopt;
    const auto field = indexOf(kFields, m[0]);
    if (!field) return std::nullopt;
    PanelChange c;
    c.field = static_cast<PanelChange::Field>(*field);
    switch (c.field) {
        case PanelChange::Field::Source:
        case PanelChange::Field::Target: {
            const auto pair = m.size() == 3 ? number(m[1], 0, 3) : std::nullopt;
            if (!pair) return std::nullopt;
            c.index = *pair;
            c.text = m[2];
            return c;
        }
        case PanelChange::Field::Switch:
        case PanelChange::Field::Time: {
            const auto slot = m.size() == 3 ? number(m[1], 0, 2) : std::nullopt;
            if (!slot) return std::nullopt;
            c.index = *slot;
            if (c.field == PanelChange::Field::Switch) {
                const auto value = number(m[2], 0, 2);
                if (!value) return std::nullopt;
                c.number = *value;
            } else {
                const auto time = timeOfDay(m[2]);
                if (!time) return std::nullopt;
                c.time = *time;
            }
            return c;
        }
        case PanelChange::Field::Caption: {
            const auto which = m.size() == 3 ? indexOf(kCaptions, m[1]) : std::nullopt;
            if (!which) return std::nullopt;
            c.index = *which;
            c.text = m[2];
            return c;
        }
        case PanelChange::Field::Keep:
        case PanelChange::Field::Missed:
        case PanelChange::Field::CopyEnabled: {
            const int high = c.field == PanelChange::Field::Keep ? 999 : 1;
            const auto value = m.size() == 2 ? number(m[1], 0, high) : std::nullopt;
            if (!value) return std::nullopt;
            c.number = *value;
            return c;
        }
    }
    return std::nullopt;
}

bool userMayChange(const PanelChange& change) {
    return change.field != PanelChange::Field::CopyEnabled && change.field != PanelChange::Field::Caption;
}

PanelChange readPanel(const PanelView& panel, PanelChange::Field field, int index) {
    PanelChange c;
    c.field = field;
    c.index = index;
    switch (field) {
        case PanelChange::Field::Source:
            c.text = panel.sourceText(index);
            break;
        case PanelChange::Field::Target:
            c.text = panel.targetText(index);
            break;
        case PanelChange::Field::Switch:
            c.number = panel.switchValue(index);
            break;
        case PanelChange::Field::Time:
            c.time = panel.pickerTime(index);
            break;
        case PanelChange::Field::Keep:
            c.number = panel.keepArchivesValue();
            break;
        case PanelChange::Field::Missed:
            c.number = panel.missedRunValue() != 0 ? 1 : 0;
            break;
        case PanelChange::Field::CopyEnabled:
            c.number = panel.copyEnabled() ? 1 : 0;
            break;
        case PanelChange::Field::Caption:
            c.text = panel.caption(static_cast<Caption>(index));
            break;
    }
    return c;
}

std::vector<PanelChange> panelSnapshot(const PanelView& panel) {
    using F = PanelChange::Field;
    std::vector<PanelChange> all;
    for (int pair = 0; pair < 4; ++pair) {
        all.push_back(readPanel(panel, F::Source, pair));
        all.push_back(readPanel(panel, F::Target, pair));
    }
    for (int slot = 0; slot < 3; ++slot) {
        all.push_back(readPanel(panel, F::Switch, slot));
        all.push_back(readPanel(panel, F::Time, slot));
    }
    all.push_back(readPanel(panel, F::Keep, 0));
    all.push_back(readPanel(panel, F::Missed, 0));
    all.push_back(readPanel(panel, F::CopyEnabled, 0));
    for (const Caption c : {Caption::cmdExit, Caption::lblInfo, Caption::lblTime, Caption::lblSon})
        all.push_back(readPanel(panel, F::Caption, static_cast<int>(c)));
    return all;
}

void applyPanelChange(PanelView& panel, const PanelChange& c) {
    switch (c.field) {
        case PanelChange::Field::Source:
            panel.setSourceText(c.index, c.text);
            break;
        case PanelChange::Field::Target:
            panel.setTargetText(c.index, c.text);
            break;
        case PanelChange::Field::Switch:
            panel.setSwitchValue(c.index, c.number);
            break;
        case PanelChange::Field::Time:
            panel.setPickerTime(c.index, c.time);
            break;
        case PanelChange::Field::Keep:
            panel.setKeepArchivesValue(c.number);
            break;
        case PanelChange::Field::Missed:
            panel.setMissedRunValue(c.number);
            break;
        case PanelChange::Field::CopyEnabled:
            panel.setCopyEnabled(c.number != 0);
            break;
        case PanelChange::Field::Caption:
            panel.setCaption(static_cast<Caption>(c.index), c.text);
            break;
    }
}

}  // namespace zel
