#include "service/window_client.h"

#include <utility>

#include "channel/mail_messages.h"

namespace zel {

namespace {
// How long an ending window waits for its last message to be written.
constexpr std::chrono::milliseconds kFlushAtEnd{1000};
}  // namespace

WindowClient::WindowClient(std::string version, ChannelConnector connect, FrontEnd& view)
    : version_(std::move(version)), connect_(std::move(connect)), view_(view) {}

WindowClient::~WindowClient() {
    *alive_ = false;
    channel_.reset();  // joins the channel's thread: no event comes after this
}

void WindowClient::setRunCalls(std::function<void()> showForRun, std::function<void()> hideAfterRun) {
    showForRun_ = std::move(showForRun);
    hideAfterRun_ = std::move(hideAfterRun);
}

void WindowClient::start() {
    started_ = true;
    view_.setControlAccess(ControlAccess::None);  // until the service's values are in
    connect();
}

void WindowClient::Timer5_Timer() {
    balloonShown_ = false;
    if (!balloons_.empty()) {
        const auto [title, text] = balloons_.front();
        balloons_.pop_front();
        showBalloon(title, text);
    }
    if (!channel_) connect();
}

// A balloon shown over another hides it: several in a row (the warnings kept while no window was
// there) come one a tick.
void WindowClient::showBalloon(const std::string& title, const std::string& text) {
    if (balloonShown_) {
        balloons_.emplace_back(title, text);
        return;
    }
    balloonShown_ = true;
    view_.showTrayWarning(title, text);
}

void WindowClient::connect() {
    const std::uint64_t connection = ++connection_;
    ChannelClient::Events events;
    // The channel's thread hands everything to the window's thread, where a newer connection
    // or the window's end makes it void.
    events.received = [this, alive = alive_, connection](std::string bytes) {
        view_.postToWindow([this, alive, connection, bytes = std::move(bytes)] {
            if (*alive) received(connection, bytes);
        });
    };
    events.closed = [this, alive = alive_, connection](const std::string&) {
        view_.postToWindow([this, alive, connection] {
            if (*alive && connection == connection_) lost();
        });
    };
    std::string error;
    channel_ = connect_(std::move(events), error);
    reader_ = MessageReader();
    welcomed_ = false;
    if (!channel_) {
        error == kChannelRefused ? end(std::string(kNotAllowed)) : lost();
        return;
    }
    send(helloMessage({version_, ClientRole::Window}));
}

// The values stay as they were, greyed, until the service answers again.
void WindowClient::lost() {
    channel_.reset();
    welcomed_ = false;
    mailForm_.reset();
    if (const auto answer = std::exchange(testAnswer_, nullptr)) answer("Gönderilemedi: hizmetle bağlantı kesildi");
    view_.setControlAccess(ControlAccess::None);
    view_.setCaption(Caption::lblInfo, std::string(kServiceNotRunning));
}

void WindowClient::received(std::uint64_t connection, const std::string& bytes) {
    if (connection != connection_ || !channel_ || ended_) return;
    reader_.feed(bytes);
    while (const std::optional<Message> message = reader_.next()) {
        handle(*message);
        if (!channel_ || ended_) return;
    }
    if (!reader_.fault().empty()) lost();
}

void WindowClient::handle(const Message& message) {
    if (isVerb(message, verb::kRefused)) return end(std::string(kNotAllowed));
    if (isVerb(message, verb::kVersion, 1)) return end(std::string(kOtherVersion) + message[1]);
    if (const std::optional<PeerAccess> access = parseWelcome(message)) {
        // The service decided from who this user is; a watcher may run and cancel only.
        welcomed_ = true;
        const bool manager = *access == PeerAccess::Manager;
        view_.setControlAccess(manager ? ControlAccess::All : ControlAccess::RunOnly);
        view_.setCaption(Caption::frmMain, std::string(kProgramTitle) + (manager ? "" : std::string(kWatcherTail)));
        return;
    }
    if (!welcomed_) return lost();
    if (isVerb(message, verb::kWarn, 2)) return showBalloon(message[1], message[2]);
    if (isVerb(message, verb::kDenied, 1)) return showBalloon(std::string(kProgramTitle), message[1]);
    if (const std::optional<MailForm> form = parseMailForm(message)) {
        mailForm_ = *form;
        return;
    }
    if (isVerb(message, verb::kMailTested, 1)) {
        if (const auto answer = std::exchange(testAnswer_, nullptr)) answer(message[1]);
        return;
    }
    if (isVerb(message, verb::kRemoteTested, 1)) {
        if (const auto answer = std::exchange(trialAnswer_, nullptr)) answer(message[1]);
        return;
    }
    if (isVerb(message, verb::kShow)) {
        if (showForRun_) showForRun_();
        return;
    }
    if (isVerb(message, verb::kHide)) {
        if (hideAfterRun_) hideAfterRun_();
        return;
    }
    if (const std::optional<PanelChange> change = parsePanelChange(message)) {
        applying_ = true;
        applyPanelChange(view_, *change);
        applying_ = false;
        return;
    }
    lost();  // a service that talks nonsense is no service
}

// A window that may not use the service, or that belongs to another version, says so and ends.
void WindowClient::end(const std::string& text) {
    ended_ = true;
    channel_.reset();
    view_.showExclamation(text);
    view_.deleteTrayIcon();
    view_.endProgram();
}

void WindowClient::send(const Message& message) {
    if (channel_) channel_->send(encodeMessage(message));
}

void WindowClient::sendValue(PanelChange::Field field, int index) {
    if (applying_ || !welcomed_) return;
    send(panelMessage(readPanel(view_, field, index)));
}

void WindowClient::folderLeft(const FolderBox& box) {
    sendValue(box.source ? PanelChange::Field::Source : PanelChange::Field::Target, box.pair);
}
void WindowClient::switchClicked(int slot) {
    sendValue(PanelChange::Field::Switch, slot);
}
void WindowClient::timeChanged(int slot) {
    sendValue(PanelChange::Field::Time, slot);
}
void WindowClient::keepChanged() {
    sendValue(PanelChange::Field::Keep, 0);
}
void WindowClient::missedChanged() {
    sendValue(PanelChange::Field::Missed, 0);
}

void WindowClient::cmdCopy_Click() {
    if (welcomed_) send({std::string(verb::kRun)});
}

void WindowClient::cancelRun() {
    if (welcomed_) send({std::string(verb::kCancel)});
}

void WindowClient::letPendingRecordFinish(const std::function<void()>&) {
    if (channel_) channel_->flush(kFlushAtEnd);
}

}  // namespace zel

namespace zel {

std::optional<MailForm> WindowClient::mailForm() const {
    if (!welcomed_) return std::nullopt;
    return mailForm_;
}

// The service checks again and answers a refusal with a balloon; the dialog closes on what the
// window can tell itself.
MailDialogCalls WindowClient::mailDialogCalls() {
    return {[this](const MailForm& edited) -> std::string {
                if (const std::string problem = mailSettingsProblem(edited.values); !problem.empty()) return problem;
                if (!welcomed_ || !mailForm_) return std::string(kServiceNotRunning);
                send(mailEditMessage(verb::kMailSave, edited));
                return {};
            },
            [this](const MailForm& edited, std::function<void(const std::string&)> answer) {
                if (!welcomed_ || !mailForm_) return answer("Gönderilemedi: " + std::string(kServiceNotRunning));
                testAnswer_ = std::move(answer);
                send(mailEditMessage(verb::kMailTest, edited));
            },
            [this](const MailForm& edited, std::function<void(const std::string&)> answer) {
                if (!welcomed_ || !mailForm_) return answer("Denenemedi: " + std::string(kServiceNotRunning));
                trialAnswer_ = std::move(answer);
                send(mailEditMessage(verb::kRemoteTest, edited));
            }};
}

}  // namespace zel
