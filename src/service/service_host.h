#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "channel/messages.h"
#include "channel/protocol.h"
#include "platform/local_channel.h"
#include "service/service_panel.h"
#include "window/machine.h"

namespace zel {

inline constexpr std::string_view kServiceStarted = "Hizmet başladı";
inline constexpr std::string_view kServiceStopped = "Hizmet durduruldu";

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
        // Who may talk to the service (peerMayConnect on the machine).
        std::function<bool(const PeerIdentity&)> mayConnect;
    };
    explicit ServiceHost(Parts parts);
    ~ServiceHost() override;
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // The channel's events for listenOnChannel: each is carried over to the service's thread.
    ChannelServer::Events channelEvents();
    // Where messages to the clients go; set once the channel listens.
    void attach(ChannelServer* server) { server_ = server; }

    // Loads the settings and starts the timed work; a missed backup is told and made up.
    void start();
    // The end: logged (naming a backup cut short), a record in flight gets its time.
    void stop();
    // Timer2 and Timer5 of the window, which the service keeps itself.
    void clockTick() { machine_->Timer2_Timer(); }
    void pollTick() { machine_->Timer5_Timer(); }

    // MachineHost
    void showTrayWarning(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string&) override { return true; }  // nobody to ask: go on waiting
    void processPendingEvents() override { parts_.processEvents(); }
    void post(std::function<void()> call) override { parts_.post(std::move(call)); }
    void showForRun() override { toWindows({std::string(verb::kShow)}); }
    void hideAfterRun() override { toWindows({std::string(verb::kHide)}); }
    void logWritten(const std::string& line) override;
    void runRecorded(bool recorded, const std::string& text) override;

private:
    struct Client {
        MessageReader reader;
        std::optional<ClientRole> role;
        bool waitsForRun = false;
    };

    void connected(ChannelServer::ClientId id, const PeerIdentity& peer);
    void received(ChannelServer::ClientId id, const std::string& bytes);
    void closed(ChannelServer::ClientId id, const std::string& why);
    void handle(ChannelServer::ClientId id, Client& client, const Message& message);
    void greet(ChannelServer::ClientId id, Client& client, const Hello& hello);
    void fromWindow(ChannelServer::ClientId id, const Message& message);
    void runForShell();
    void drop(ChannelServer::ClientId id, std::string why);
    void send(ChannelServer::ClientId id, const Message& message);
    void sendLast(ChannelServer::ClientId id, const Message& message);
    void toWindows(const Message& message);

    Parts parts_;
    ChannelServer* server_ = nullptr;
    std::map<ChannelServer::ClientId, Client> clients_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    ServicePanel panel_;
    std::unique_ptr<Machine> machine_;
};

}  // namespace zel
