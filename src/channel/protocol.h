#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "channel/messages.h"
#include "transport/local_channel.h"
#include "view/panel_view.h"

namespace zel {

// The program's version: a window and the service it talks to must be of the same one.
inline constexpr std::string_view kProgramVersion = ZEL_VERSION;

// What a client is: a window, or a command from a shell.
enum class ClientRole { Window, Status, Run };

// The first message of every client.
struct Hello {
    std::string version;
    ClientRole role = ClientRole::Window;
};
Message helloMessage(const Hello& hello);
std::optional<Hello> parseHello(const Message& message);

// A window's welcome says what its user may do: "welcome" and "watcher" or "manager".
Message welcomeMessage(PeerAccess access);
// Watcher or Manager; null for anything else.
std::optional<PeerAccess> parseWelcome(const Message& message);

// One value of the panel. The service sends every kind; a window client sends only what its user
// can change (folders, switches, times, the last row).
struct PanelChange {
    enum class Field { Source, Target, Switch, Time, Keep, Missed, CopyEnabled, Caption };
    Field field = Field::Source;
    int index = 0;     // the pair, the slot, or the Caption
    std::string text;  // Source, Target, Caption
    int number = 0;    // Switch, Keep, Missed, CopyEnabled (0/1)
    TimeOfDay time;    // Time
    bool operator==(const PanelChange&) const = default;
};
Message panelMessage(const PanelChange& change);
// Null for anything out of range: a pair outside 0..3, a switch outside 0..2, a time that is
// no time of day, a caption that is not one of the panel's.
std::optional<PanelChange> parsePanelChange(const Message& message);
// True for the changes a window's user can make.
bool userMayChange(const PanelChange& change);

// The panel's value that a change names, read from `panel`.
PanelChange readPanel(const PanelView& panel, PanelChange::Field field, int index);
// Every value of the panel, as a window that connects gets them.
std::vector<PanelChange> panelSnapshot(const PanelView& panel);
// Writes one change into `panel` (raising its events as a user's change would).
void applyPanelChange(PanelView& panel, const PanelChange& change);

// Verbs of the other messages.
namespace verb {
inline constexpr std::string_view kWelcome = "welcome";  // the service: hello accepted (a window: its access)
inline constexpr std::string_view kDenied = "denied";    // the service: <why>, a window's change was refused
inline constexpr std::string_view kVersion = "version";  // the service: other version, <its version>
inline constexpr std::string_view kRefused = "refused";  // the service: this user may not connect
inline constexpr std::string_view kRun = "run";          // a window: "Yedekle"
inline constexpr std::string_view kCancel = "cancel";    // a window: "İptal"
inline constexpr std::string_view kWarn = "warn";        // the service: <title> <text>
inline constexpr std::string_view kShow = "show";        // the service: a scheduled run starts
inline constexpr std::string_view kHide = "hide";        // the service: ... and has ended
inline constexpr std::string_view kLine = "line";        // the service: <a line for the shell>
inline constexpr std::string_view kDone = "done";        // the service: <exit code>, the last message
}  // namespace verb

// True when `message` is `verb` with exactly `fields` fields after it.
bool isVerb(const Message& message, std::string_view verb, std::size_t fields = 0);

}  // namespace zel
