#include "mail/mail_outbox.h"

#include <algorithm>
#include <utility>

namespace zel {

MailOutbox::MailOutbox(MailTransport& transport, std::vector<std::chrono::milliseconds> retries, Failed failed)
    : transport_(transport), retries_(std::move(retries)), failed_(std::move(failed)), thread_([this] { work(); }) {}

MailOutbox::~MailOutbox() {
    stop(std::chrono::milliseconds(0));
}

void MailOutbox::send(OutgoingMail mail, std::string subject) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        jobs_.push_back({std::move(mail), std::move(subject), nullptr, 0, Clock::now(), {}});
    }
    wake_.notify_all();
}

void MailOutbox::test(OutgoingMail mail, Answer answer) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        jobs_.push_front({std::move(mail), {}, std::move(answer), 0, Clock::now(), {}});
    }
    wake_.notify_all();
}

bool MailOutbox::idle() {
    std::lock_guard lock(mutex_);
    return jobs_.empty() && !busy_;
}

std::vector<std::pair<std::string, std::string>> MailOutbox::stop(std::chrono::milliseconds grace) {
    {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            stopping_ = true;
            stopBy_ = Clock::now() + grace;
            for (Job& job : jobs_) job.due = std::min(job.due, Clock::now());
        }
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        // The mail in progress is cut off once the time is up.
        std::unique_lock lock(mutex_);
        const bool done = wake_.wait_until(lock, stopBy_, [this] { return jobs_.empty() && !busy_; });
        if (!done) abort_ = true;
        lock.unlock();
        wake_.notify_all();
        thread_.join();
    }
    std::lock_guard lock(mutex_);
    return std::exchange(unsent_, {});
}

void MailOutbox::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (jobs_.empty()) {
            if (stopping_) return;
            wake_.wait(lock);
            continue;
        }
        auto next = std::min_element(jobs_.begin(), jobs_.end(),
                                     [](const Job& a, const Job& b) { return a.due < b.due; });
        if (stopping_ && (abort_ || Clock::now() >= stopBy_)) {
            for (Job& job : jobs_)
                if (!job.answer) unsent_.emplace_back(job.subject, job.lastWhy.empty() ? "program kapandı" : job.lastWhy);
            jobs_.clear();
            wake_.notify_all();
            return;
        }
        if (next->due > Clock::now()) {
            wake_.wait_until(lock, stopping_ ? std::min(next->due, stopBy_) : next->due);
            continue;
        }
        Job job = std::move(*next);
        jobs_.erase(next);
        busy_ = true;
        lock.unlock();
        const MailSent sent = transport_.send(job.mail, abort_);
        lock.lock();
        busy_ = false;
        if (job.answer) {
            lock.unlock();
            job.answer(sent);
            lock.lock();
        } else if (!sent.ok) {
            job.lastWhy = sent.answer;
            if (stopping_) {
                unsent_.emplace_back(job.subject, job.lastWhy);
            } else {
                std::optional<std::chrono::milliseconds> retryIn;
                if (job.failures < retries_.size()) retryIn = retries_[job.failures++];
                const std::string subject = job.subject, why = job.lastWhy;
                if (retryIn) {
                    job.due = Clock::now() + *retryIn;
                    jobs_.push_back(std::move(job));
                }
                lock.unlock();
                failed_(subject, why, retryIn);
                lock.lock();
            }
        }
        wake_.notify_all();
    }
}

}  // namespace zel
