#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "channel/messages.h"
#include "channel/protocol.h"
#include "service/channel_gate.h"
#include "service/kept_warnings.h"
#include "service/service_panel.h"
#include "transport/local_channel.h"
#include "window/machine.h"

namespace zel {

inline constexpr std::string_view kServiceStarted = "Hizmet başladı";
inline constexpr std::string_view kServiceStopped = "Hizmet durduruldu";
inline constexpr std::string_view kChangeNotAllowed = "Bu ayarı değiştirme izniniz yok";
// A client that has not said hello within this many clock ticks (seconds) is dropped.
inline constexpr int kHelloTicks = 10;
// Connections one user may hold at once; more are closed as they come.
inline constexpr std::size_t kConnectionsPerUser = 16;

// The machine as a service: no window, its panel in memory, and the windows and shell commands
// that connect over the channel as its only way to the user. Everything here runs on the
// service's one thread; the channel's events are posted to it.
class ServiceHost final : public MachineHost {
public:
    struct Parts {
        MachineServices machine;
        std::string version;
        // Hands a call to the service's thread, and lets its waiting events through once.
        std::function<void(std::function<void()>)> post;
        std::function<void()> processEvents;
        // What a peer may do (peerAccess on the machine).
        std::function<PeerAccess(const PeerIdentity&)> access;
    };
    explicit ServiceHost(Parts parts);
    ~ServiceHost() override;
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // The channel's events for listenOnChannel: each is carried over to the service's thread.
    ChannelServer::Events channelEvents();
    // Where messages to the clients go; set once the channel listens.
    void attach(ChannelServer* server) { server_ = server; }
    ChannelServer* server() const { return server_.load(); }

    // Loads the settings and starts the timed work; a missed backup is told and made up.
    void start();
    // The end: logged (naming a backup cut short), a record in flight gets its time.
    void stop();
    // A line of the service's own into the run log.
    void log(const std::string& text) { machine_->log(text); }
    // Timer2 and Timer5 of the window, which the service keeps itself. The clock also drops the
    // clients that never said hello.
    void clockTick();
    void pollTick() { machine_->Timer5_Timer(); }

    // MachineHost
    void showTrayWarning(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string&) override { return true; }  // nobody to ask: go on waiting
    void processPendingEvents() override { parts_.processEvents(); }
    void post(std::function<void()> call) override { parts_.post(std::move(call)); }
    void showForRun() override { toWindows({std::string(verb::kShow)}); }
    void hideAfterRun() override { toWindows({std::string(verb::kHide)}); }
    void logWritten(const std::string& line) override;
    void runRecorded(std::uint64_t run, bool recorded, const std::string& text) override;

private:
    struct Client {
        MessageReader reader;
        std::optional<ClientRole> role;
        PeerAccess access = PeerAccess::Watcher;
        std::string user;
        std::uint64_t connectedAt = 0;  // the clock tick
        std::optional<std::uint64_t> waitsForRun;  // a shell's run: its number
    };

    static std::string peerUser(const PeerIdentity& peer);
    void connected(ChannelServer::ClientId id, const PeerIdentity& peer);
    void received(ChannelServer::ClientId id, const std::string& bytes);
    void closed(ChannelServer::ClientId id, const std::string& why);
    void handle(ChannelServer::ClientId id, Client& client, const Message& message);
    void greet(ChannelServer::ClientId id, Client& client, const Hello& hello);
    void fromWindow(ChannelServer::ClientId id, const Message& message);
    // Why a window's change may not be made; empty when it may.
    std::string refusal(const Client& client, const PanelChange& change) const;
    void mailFromWindow(ChannelServer::ClientId id, const Message& message);
    void runForShell(ChannelServer::ClientId id, bool watcher);
    void drop(ChannelServer::ClientId id, std::string why);
    void send(ChannelServer::ClientId id, const Message& message);
    void sendLast(ChannelServer::ClientId id, const Message& message);
    // True when it reached at least one window.
    bool toWindows(const Message& message);
    void toSystemLog(SystemEvent event, std::string_view text);

    Parts parts_;
    std::atomic<ChannelServer*> server_ = nullptr;  // the channel's thread cuts connections too
    std::map<ChannelServer::ClientId, Client> clients_;
    std::uint64_t ticks_ = 0;
    std::set<std::string> crowded_;  // users told about for too many connections, until one gets in
    // Refused connections, told at most once a minute per user with how many came since: a flood
    // of them must not push the run log's history out.
    RefusalTally refusals_;
    std::shared_ptr<WaitingEvents> waiting_ = std::make_shared<WaitingEvents>();
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    ServicePanel panel_;
    KeptWarnings kept_;
    std::unique_ptr<Machine> machine_;
};

}  // namespace zel
