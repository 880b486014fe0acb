#include "service/service_host.h"

#include "channel/mail_messages.h"
#include "engine/folder_text.h"
#include "engine/schedule.h"
#include "window/status_report.h"

namespace zel {

ServiceHost::ServiceHost(Parts parts)
    : parts_(std::move(parts)),
      panel_([this](const PanelChange& change) { toWindows(panelMessage(change)); }),
      kept_(parts_.machine.files, parts_.machine.programFolder + "\\" + std::string(kKeptWarningsName)) {
    machine_ = std::make_unique<Machine>(parts_.machine, panel_, *this);
}

ServiceHost::~ServiceHost() {
    *alive_ = false;
}

ChannelServer::Events ServiceHost::channelEvents() {
    // The channel's thread may still post while the service ends; such calls find it gone. What
    // waits for the service is counted, so that a flood is turned away instead of queued.
    auto carry = [this, alive = alive_, waiting = waiting_](std::size_t bytes, bool always,
                                                             std::function<void()> call) {
        if (!waiting->take(bytes, always)) return false;
        parts_.post([alive, waiting, bytes, call = std::move(call)] {
            waiting->done(bytes);
            if (*alive) call();
        });
        return true;
    };
    ChannelServer::Events events;
    // Refused users are answered here, on the channel's thread: their connections never reach the
    // service, and the run log hears of them once a minute.
    events.turnAway = [this, carry](const PeerIdentity& peer) -> std::optional<std::string> {
        if (parts_.access(peer) == PeerAccess::Refused) {
            if (std::optional<std::string> line = refusals_.note(peerUser(peer), wallSecond(parts_.machine.clock.now())))
                carry(0, true, [this, line = std::move(*line)] { machine_->log(line); });
            return encodeMessage({std::string(verb::kRefused)});
        }
        if (waiting_->full()) return std::string();  // the service is behind: ended at once
        return std::nullopt;
    };
    events.connected = [this, carry](ChannelServer::ClientId id, const PeerIdentity& peer) {
        carry(0, true, [this, id, peer] { connected(id, peer); });
    };
    events.received = [this, carry](ChannelServer::ClientId id, std::string bytes) {
        const std::size_t size = bytes.size();
        if (carry(size, false, [this, id, bytes = std::move(bytes)] { received(id, bytes); })) return;
        // Bytes dropped would leave the rest of the conversation out of step: the connection ends.
        if (ChannelServer* s = server()) s->close(id, false);
        carry(0, true, [this, id] { closed(id, "hizmet yetişemiyor, bağlantı kesildi"); });
    };
    events.closed = [this, carry](ChannelServer::ClientId id, const std::string& why) {
        carry(0, true, [this, id, why] { closed(id, why); });
    };
    return events;
}

void ServiceHost::start() {
    kept_.load(parts_.machine.clock.now());
    machine_->prepare();
    machine_->start();
    machine_->log(std::string(kServiceStarted));
    toSystemLog(SystemEvent::ServiceStarted, kServiceStarted);
    machine_->noticeMissedBackup();
}

void ServiceHost::toSystemLog(SystemEvent event, std::string_view text) {
    if (parts_.machine.systemLog) parts_.machine.systemLog->write(event, std::string(text));
}

void ServiceHost::clockTick() {
    ++ticks_;
    std::vector<ChannelServer::ClientId> silent;
    for (const auto& [id, client] : clients_)
        if (!client.role && ticks_ - client.connectedAt >= kHelloTicks) silent.push_back(id);
    for (const ChannelServer::ClientId id : silent) drop(id, "tanışma iletisi gelmedi");
    machine_->Timer2_Timer();
}

void ServiceHost::stop() {
    machine_->logEnd(std::string(kServiceStopped));
    machine_->letPendingRecordFinish({});
    toSystemLog(SystemEvent::ServiceStopped, kServiceStopped);
}

// ---- the channel ----

std::string ServiceHost::peerUser(const PeerIdentity& peer) {
    return peer.user.empty() ? std::to_string(peer.uid) : peer.user;
}

void ServiceHost::connected(ChannelServer::ClientId id, const PeerIdentity& peer) {
    const std::string user = peerUser(peer);
    const PeerAccess access = parts_.access(peer);
    if (access == PeerAccess::Refused) {  // its groups changed since the channel let it in
        sendLast(id, {std::string(verb::kRefused)});
        if (std::optional<std::string> line = refusals_.note(user, wallSecond(parts_.machine.clock.now())))
            machine_->log(*line);
        return;
    }
    // One user's connections cannot crowd out the others' (or the service's memory).
    std::size_t held = 0;
    for (const auto& [other, client] : clients_) held += client.user == user;
    if (held >= kConnectionsPerUser) {
        if (crowded_.insert(user).second)
            machine_->log("Hizmet bir bağlantıyı kesti: kullanıcı " + user + " için çok fazla bağlantı");
        if (ChannelServer* s = server()) s->close(id, false);
        return;
    }
    crowded_.erase(user);
    Client& client = clients_[id];
    client.access = access;
    client.user = user;
    client.connectedAt = ticks_;
}

void ServiceHost::received(ChannelServer::ClientId id, const std::string& bytes) {
    const auto it = clients_.find(id);
    if (it == clients_.end()) return;  // refused, or dropped a moment ago
    Client& client = it->second;
    client.reader.feed(bytes);
    while (const std::optional<Message> message = client.reader.next()) {
        handle(id, client, *message);
        if (!clients_.count(id)) return;
    }
    if (!client.reader.fault().empty()) drop(id, client.reader.fault());
}

void ServiceHost::closed(ChannelServer::ClientId id, const std::string& why) {
    if (clients_.erase(id) && !why.empty()) machine_->log("Hizmet bir bağlantıyı kesti: " + why);
}

// A client that breaks the rules costs only its own connection, with one line in the log.
void ServiceHost::drop(ChannelServer::ClientId id, std::string why) {
    clients_.erase(id);
    machine_->log("Hizmet bir bağlantıyı kesti: " + why);
    if (ChannelServer* s = server()) s->close(id, false);
}

void ServiceHost::send(ChannelServer::ClientId id, const Message& message) {
    if (ChannelServer* s = server()) s->send(id, encodeMessage(message));
}

// The last message of a connection: it is closed once that is written.
void ServiceHost::sendLast(ChannelServer::ClientId id, const Message& message) {
    clients_.erase(id);
    ChannelServer* s = server();
    if (!s) return;
    s->send(id, encodeMessage(message));
    s->close(id, true);
}

bool ServiceHost::toWindows(const Message& message) {
    ChannelServer* s = server();
    if (!s) return false;
    const std::string bytes = encodeMessage(message);
    bool reached = false;
    for (const auto& [id, client] : clients_) {
        if (client.role != ClientRole::Window) continue;
        s->send(id, bytes);
        reached = true;
    }
    return reached;
}

void ServiceHost::handle(ChannelServer::ClientId id, Client& client, const Message& message) {
    if (!client.role) {
        const std::optional<Hello> hello = parseHello(message);
        if (!hello) return drop(id, "ilk ileti tanışma değil");
        return greet(id, client, *hello);
    }
    if (client.role != ClientRole::Window) return drop(id, "komut satırından beklenmeyen ileti");
    fromWindow(id, message);
}

void ServiceHost::greet(ChannelServer::ClientId id, Client& client, const Hello& hello) {
    if (hello.version != parts_.version) return sendLast(id, {std::string(verb::kVersion), parts_.version});
    client.role = hello.role;
    switch (hello.role) {
        case ClientRole::Window:
            send(id, welcomeMessage(client.access));
            for (const PanelChange& value : panelSnapshot(panel_)) send(id, panelMessage(value));
            // The mail settings are a manager's to see and change; the password never leaves.
            if (client.access == PeerAccess::Manager)
                if (const std::optional<MailForm> form = machine_->mailForm()) send(id, mailFormMessage(*form));
            // What nobody was there to see: every window shows it until a manager's has, and then
            // no later one again. A watcher alone cannot make it vanish.
            {
                const LocalDateTime now = parts_.machine.clock.now();
                const std::deque<KeptWarning> kept =
                    client.access == PeerAccess::Manager ? kept_.takeAll(now) : kept_.all(now);
                for (const auto& [title, text] : keptWarningBalloons(kept, now))
                    send(id, {std::string(verb::kWarn), title, text});
            }
            return;
        case ClientRole::Status: {
            const MachineStatus status = machine_->status();
            for (const std::string& line : statusLines(status, parts_.machine.clock.now()))
                send(id, {std::string(verb::kLine), line});
            return sendLast(id, {std::string(verb::kDone), std::to_string(statusSummary(status).code)});
        }
        case ClientRole::Run:
            if (machine_->running()) {
                send(id, {std::string(verb::kLine), "Yedekleme zaten sürüyor"});
                return sendLast(id, {std::string(verb::kDone), "1"});
            }
            client.waitsForRun = machine_->runsStarted() + 1;
            send(id, {std::string(verb::kWelcome)});
            // The run starts once this message is handled, not inside it.
            post([this, alive = alive_, id, watcher = client.access != PeerAccess::Manager] {
                if (*alive) runForShell(id, watcher);
            });
            return;
    }
}

// What a window's user did. Only what the window's own handlers could do is done.
void ServiceHost::fromWindow(ChannelServer::ClientId id, const Message& message) {
    if (isVerb(message, verb::kRun)) {
        const bool watcher = clients_.at(id).access != PeerAccess::Manager;
        post([this, alive = alive_, watcher] {
            if (!*alive) return;
            if (watcher) machine_->keepEveryArchiveInNextRun();
            machine_->cmdCopy_Click();
        });
        return;
    }
    if (isVerb(message, verb::kCancel)) {
        if (machine_->running()) machine_->cancelRun();
        return;
    }
    if (isVerb(message, verb::kMailSave, kMailFields) || isVerb(message, verb::kMailTest, kMailFields) ||
        isVerb(message, verb::kRemoteTest, kMailFields))
        return mailFromWindow(id, message);
    const std::optional<PanelChange> change = parsePanelChange(message);
    if (!change || !userMayChange(*change)) return drop(id, "tanınmayan ileti: " + withVisibleControls(message.front()));
    if (const std::string why = refusal(clients_.at(id), *change); !why.empty()) {
        // The window hears why, and gets the value back that it shows wrongly now.
        machine_->log("Ayar değişikliği reddedildi (kullanıcı " + clients_.at(id).user + "): " + why);
        send(id, {std::string(verb::kDenied), why});
        send(id, panelMessage(readPanel(panel_, change->field, change->index)));
        return;
    }
    applyPanelChange(panel_, *change);
    switch (change->field) {
        case PanelChange::Field::Source:
        case PanelChange::Field::Target:
            return machine_->folderLeft({change->field == PanelChange::Field::Source, change->index});
        case PanelChange::Field::Switch:
            return machine_->switchClicked(change->index);
        case PanelChange::Field::Time:
            return machine_->timeChanged(change->index);
        case PanelChange::Field::Keep:
            return machine_->keepChanged();
        case PanelChange::Field::Missed:
            return machine_->missedChanged();
        case PanelChange::Field::CopyEnabled:
        case PanelChange::Field::Caption:
            return;
    }
}

// The mail dialog of a manager's window: saved and shown to every manager, or tested with its
// answer to this window alone.
void ServiceHost::mailFromWindow(ChannelServer::ClientId id, const Message& message) {
    const Client& client = clients_.at(id);
    const bool save = message.front() == verb::kMailSave;
    const bool trial = message.front() == verb::kRemoteTest;
    if (client.access != PeerAccess::Manager) {
        machine_->log(std::string(trial ? "Uzak kopya denemesi" : "Ayar değişikliği") + " reddedildi (kullanıcı " +
                      client.user + "): " + std::string(kChangeNotAllowed));
        return send(id, {std::string(verb::kDenied), std::string(kChangeNotAllowed)});
    }
    const std::optional<MailForm> edited = parseMailEdit(message, message.front());
    if (!edited) return drop(id, "tanınmayan ileti: " + withVisibleControls(message.front()));
    if (!save) {
        const std::string_view answered = trial ? verb::kRemoteTested : verb::kMailTested;
        auto reply = [this, alive = alive_, id, answered](const std::string& answer) {
            if (*alive && clients_.count(id)) send(id, {std::string(answered), answer});
        };
        return trial ? machine_->testRemote(*edited, std::move(reply)) : machine_->testMail(*edited, std::move(reply));
    }
    if (const std::string why = machine_->saveMail(*edited); !why.empty()) {
        machine_->log("E-posta ayarları kaydedilmedi (kullanıcı " + client.user + "): " + why);
        return send(id, {std::string(verb::kDenied), why});
    }
    if (const std::optional<MailForm> form = machine_->mailForm()) {
        const Message shown = mailFormMessage(*form);
        for (const auto& [other, c] : clients_)
            if (c.role == ClientRole::Window && c.access == PeerAccess::Manager) send(other, shown);
    }
}

std::string ServiceHost::refusal(const Client& client, const PanelChange& change) const {
    if (client.access != PeerAccess::Manager) return std::string(kChangeNotAllowed);
    const bool folder = change.field == PanelChange::Field::Source || change.field == PanelChange::Field::Target;
    if (folder && !isFolderText(change.text)) return badFolderText(change.text);
    // The grey state comes only from the settings file; a window's switch goes between 0 and 1.
    if (change.field == PanelChange::Field::Switch && change.number != 0 && change.number != 1)
        return "Geçersiz anahtar değeri: " + std::to_string(change.number);
    return {};
}

// ---- a run from the shell ----

void ServiceHost::runForShell(ChannelServer::ClientId id, bool watcher) {
    // A slot may have started a run meanwhile: that one is waited for.
    const auto it = clients_.find(id);
    if (it != clients_.end() && machine_->running()) it->second.waitsForRun = machine_->runsStarted();
    machine_->setNextRunTrigger("komut satırı");
    if (watcher) machine_->keepEveryArchiveInNextRun();
    machine_->cmdCopy_Click();
}

void ServiceHost::runRecorded(std::uint64_t run, bool recorded, const std::string&) {
    std::vector<ChannelServer::ClientId> waiting;
    for (const auto& [id, client] : clients_)
        if (client.waitsForRun == run) waiting.push_back(id);
    for (const ChannelServer::ClientId id : waiting)
        sendLast(id, {std::string(verb::kDone), recorded ? "0" : "1"});
}

void ServiceHost::logWritten(const std::string& line) {
    ChannelServer* s = server();
    if (!s) return;
    const std::string bytes = encodeMessage({std::string(verb::kLine), line});
    for (const auto& [id, client] : clients_)
        if (client.waitsForRun) s->send(id, bytes);
}

// With no window connected, the warning waits for the next one.
void ServiceHost::showTrayWarning(const std::string& title, const std::string& text) {
    if (toWindows({std::string(verb::kWarn), title, text})) return;
    kept_.keep({parts_.machine.clock.now(), title, text}, parts_.machine.clock.now());
}

}  // namespace zel
