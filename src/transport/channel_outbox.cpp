#include "transport/channel_outbox.h"

#include <algorithm>

#include "transport/local_channel.h"

namespace zel {
namespace {

constexpr std::chrono::seconds kDrainTime{10};

}  // namespace

void OutboundQueue::append(std::string bytes) {
    if (bytes.empty()) return;
    bytes_ += bytes.size();
    pieces_.push_back(std::move(bytes));
}

void OutboundQueue::clear() {
    pieces_.clear();
    taken_ = 0;
    bytes_ = 0;
}

std::string_view OutboundQueue::front() const {
    if (pieces_.empty()) return {};
    return std::string_view(pieces_.front()).substr(taken_);
}

void OutboundQueue::consume(std::size_t n) {
    if (pieces_.empty()) return;
    n = std::min(n, pieces_.front().size() - taken_);
    bytes_ -= n;
    taken_ += n;
    if (taken_ == pieces_.front().size()) {
        pieces_.pop_front();
        taken_ = 0;
    }
}

std::string OutboundQueue::take(std::size_t most) {
    std::string out;
    while (!pieces_.empty() && out.size() < most) {
        if (out.empty() && taken_ == 0 && pieces_.front().size() <= most) {
            out = std::move(pieces_.front());  // the usual message, smaller than a piece: not copied
            bytes_ -= out.size();
            pieces_.pop_front();
            continue;
        }
        const std::string_view next = front().substr(0, most - out.size());
        out.append(next);
        consume(next.size());
    }
    return out;
}

void Outbox::add(std::string bytes) {
    if (callerClosed() || overflowed) return;
    if (queue.size() + writing + bytes.size() > kChannelQueueLimit) {
        overflowed = true;
        queue.clear();  // its memory is given back now, not when the loop comes round
    } else {
        queue.append(std::move(bytes));
    }
}

void Outbox::close(bool afterQueued) {
    if (afterQueued && !cutNow) {
        if (!closing) drainDeadline = std::chrono::steady_clock::now() + kDrainTime;
        closing = true;
    } else {
        cutNow = true;
        queue.clear();
    }
}

bool Outbox::closeDue() const {
    return closing && (drained() || std::chrono::steady_clock::now() >= drainDeadline);
}

}  // namespace zel
