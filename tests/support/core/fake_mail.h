#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "mail/mail_transport.h"

namespace zel::test {

// A mail server that answers as told (ok with "250 OK" unless `outcomes_` says otherwise, one a
// mail, in order) and keeps every mail handed to it; safe to call from the mail thread.
class FakeMail final : public MailTransport {
public:
    MailSent send(const OutgoingMail& mail, const std::atomic<bool>& abort) override {
        std::chrono::milliseconds hang{0};
        MailSent outcome{true, "250 OK"};
        {
            std::lock_guard lock(mutex_);
            sent_.push_back(mail);
            if (!outcomes_.empty()) {
                outcome = outcomes_.front();
                outcomes_.pop_front();
            }
            hang = hang_;
        }
        // A server that never answers: only the abort ends the wait.
        const auto until = std::chrono::steady_clock::now() + hang;
        while (std::chrono::steady_clock::now() < until) {
            if (abort) return {false, "durduruldu"};
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return outcome;
    }
    std::vector<OutgoingMail> sent() {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    // Waits up to `limit` for `n` mails to have been handed over.
    bool waitFor(std::size_t n, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (sent().size() < n) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    void answer(std::deque<MailSent> next, std::chrono::milliseconds hang = {}) {
        std::lock_guard lock(mutex_);
        outcomes_ = std::move(next);
        hang_ = hang;
    }

private:
    std::mutex mutex_;
    std::deque<MailSent> outcomes_;
    std::chrono::milliseconds hang_{0};
    std::vector<OutgoingMail> sent_;
};

}  // namespace zel::test
