#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "mail/mail_transport.h"

namespace zel {

// How long a failed mail waits before it is tried again: 5 minutes, then 30; then it is dropped.
inline const std::vector<std::chrono::milliseconds> kMailRetries = {std::chrono::minutes(5),
                                                                    std::chrono::minutes(30)};
// What mail still queued at the program's end is given.
inline constexpr std::chrono::milliseconds kMailTimeAtEnd{3000};

// Sends mail on a thread of its own, so that nothing else ever waits for a server. A mail that
// fails is tried again after each of `retries`; one that fails every time is dropped. `failed`
// hears of every failure (on the mail thread): with the wait before the next try, or with none
// when the mail is dropped. A test mail is tried once, ahead of the queue, and its
// answer goes to its own callback (on the mail thread).
class MailOutbox {
public:
    using Failed = std::function<void(const std::string& subject, const std::string& why,
                                      std::optional<std::chrono::milliseconds> retryIn)>;
    using Answer = std::function<void(const MailSent&)>;

    MailOutbox(MailTransport& transport, std::vector<std::chrono::milliseconds> retries, Failed failed);
    ~MailOutbox();
    MailOutbox(const MailOutbox&) = delete;
    MailOutbox& operator=(const MailOutbox&) = delete;

    void send(OutgoingMail mail, std::string subject);
    void test(OutgoingMail mail, Answer answer);
    // Nothing queued, nothing with the server.
    bool idle();
    // Tries what is still queued (waiting retries too) once more within `grace`, then gives up on
    // the rest; returns the subjects of the mails not sent, with why. No mail is taken after it.
    std::vector<std::pair<std::string, std::string>> stop(std::chrono::milliseconds grace);

private:
    using Clock = std::chrono::steady_clock;
    struct Job {
        OutgoingMail mail;
        std::string subject;
        Answer answer;  // a test mail's
        std::size_t failures = 0;
        Clock::time_point due;
        std::string lastWhy;
    };

    void work();

    MailTransport& transport_;
    std::vector<std::chrono::milliseconds> retries_;
    Failed failed_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    bool busy_ = false;  // a mail is with the server
    Clock::time_point stopBy_;
    std::vector<std::pair<std::string, std::string>> unsent_;
    std::atomic<bool> abort_{false};
    std::thread thread_;  // last: it starts once everything above is ready
};

}  // namespace zel
