#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "channel/messages.h"
#include "channel/protocol.h"
#include "transport/local_channel.h"
#include "window/front_end.h"
#include "window/machine.h"

namespace zel {

inline constexpr std::string_view kServiceNotRunning = "Yedekleme hizmeti çalışmıyor";
inline constexpr std::string_view kNotAllowed = "Bu hizmete bağlanma izniniz yok";
inline constexpr std::string_view kOtherVersion = "Hizmetin sürümü farklı: ";
// The end of a watcher's window caption.
inline constexpr std::string_view kWatcherTail = " (izleme)";

// Opens a connection to the service, or says why not (null).
using ChannelConnector =
    std::function<std::unique_ptr<ChannelClient>(ChannelClient::Events events, std::string& error)>;

// The machine of a window client: the service at the other end of the channel. The window's
// handlers send what the user did; what the service sends comes into the window's controls.
// Without the service the controls are greyed, and every Timer5 tick tries again.
class WindowClient final : public MachineLink {
public:
    WindowClient(std::string version, ChannelConnector connect, FrontEnd& view);
    ~WindowClient() override;
    WindowClient(const WindowClient&) = delete;
    WindowClient& operator=(const WindowClient&) = delete;

    // What the service asks of the window around a scheduled run (frmMain's restore and minimise).
    void setRunCalls(std::function<void()> showForRun, std::function<void()> hideAfterRun);

    void prepare() override {}
    void start() override;
    bool started() const override { return started_; }
    void noticeMissedBackup() override {}  // the service tells its own
    void folderLeft(const FolderBox& box) override;
    void switchClicked(int slot) override;
    void timeChanged(int slot) override;
    void keepChanged() override;
    void missedChanged() override;
    void cmdCopy_Click() override;
    void cancelRun() override;
    void Timer2_Timer() override {}  // the clock label is the service's
    void Timer5_Timer() override;
    void logEnd(const std::string&) override {}  // the end of a window is not the machine's
    // What the window sent last is written before the window ends.
    void letPendingRecordFinish(const std::function<void()>& beforeWaiting) override;
    // The service's mail settings, as it sends them to a manager's window.
    std::optional<MailForm> mailForm() const override;
    MailDialogCalls mailDialogCalls() override;

private:
    void connect();
    void lost();
    void received(std::uint64_t connection, const std::string& bytes);
    void handle(const Message& message);
    void sendValue(PanelChange::Field field, int index);
    void send(const Message& message);
    void end(const std::string& text);
    void showBalloon(const std::string& title, const std::string& text);

    std::string version_;
    ChannelConnector connect_;
    FrontEnd& view_;
    std::function<void()> showForRun_;
    std::function<void()> hideAfterRun_;
    std::unique_ptr<ChannelClient> channel_;
    std::uint64_t connection_ = 0;  // counts connections: events of an old one are ignored
    MessageReader reader_;
    bool started_ = false;
    bool welcomed_ = false;
    bool applying_ = false;  // the service's values going into the controls raise no messages
    bool ended_ = false;
    std::deque<std::pair<std::string, std::string>> balloons_;  // title, text: waiting their turn
    bool balloonShown_ = false;                                 // since the last Timer5 tick
    std::optional<MailForm> mailForm_;                          // a manager's, from the service
    std::function<void(const std::string&)> testAnswer_;        // the dialog waiting for a test
    std::function<void(const std::string&)> trialAnswer_;       // ... for the second place's
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace zel
