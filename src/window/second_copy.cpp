#include "window/second_copy.h"

#include <thread>

#include "engine/archive_folder.h"
#include "engine/backup_rules.h"

namespace zel {

std::string trialText(const std::vector<TrialStep>& steps) {
    std::string text;
    for (const TrialStep& s : steps) {
        if (!text.empty()) text += "\n";
        text += s.what + ": " + (s.failure.empty() ? "tamam" : s.failure);
    }
    return text;
}

SecondCopy::SecondCopy(SecondCopyParts parts) : parts_(std::move(parts)) {
    std::weak_ptr<bool> alive = alive_;
    copier_ = std::make_unique<RemoteCopier>(parts_.files, parts_.clock, [this, alive](CopyReport report) {
        parts_.post([this, alive, report = std::move(report)]() mutable {
            if (alive.lock()) reported(std::move(report));
        });
    });
}

SecondCopy::~SecondCopy() {
    alive_.reset();
    copier_.reset();  // cuts a copy under way
    if (trial_ && trial_->joinable()) trial_->join();
}

void SecondCopy::setSettings(const RemoteSettings& settings) {
    settings_ = settings;
    place_.reset();
    nextPass_.reset();
    if (settings.kind != RemoteKind::None) {
        std::string failure;
        place_ = parts_.makePlace(settings, failure);
        if (!place_ && notices_.tell("uzak ayar", parts_.clock.now()))
            parts_.log("Uzak kopya ayarları kullanılamıyor: " + failure);
    }
    copier_->setPlace(place_);
}

void SecondCopy::passNow(CopyRequest request) {
    if (!place_) return;
    request.everything = true;
    copier_->request(std::move(request));
}

void SecondCopy::runStarted(const LocalDateTime& now) {
    // The stamp the run's first archive name gets.
    copier_->runStarted(programArchive(archiveName("", now), "")->stamp);
}

void SecondCopy::runEnded(CopyRequest request) {
    copier_->runEnded();
    passNow(std::move(request));
}

void SecondCopy::tick(const std::function<CopyRequest()>& request) {
    if (!place_ || !nextPass_ || wallSecond(parts_.clock.now()) < *nextPass_ || copier_->busy()) return;
    nextPass_.reset();
    copier_->request(request());
}

void SecondCopy::reported(CopyReport report) {
    for (const std::string& line : report.lines) parts_.log(line);
    for (const ProvenCopy& p : report.proven)
        if (p.pair >= 0 && p.pair < 4) proven_[static_cast<std::size_t>(p.pair)] = p.line;
    oldestOwed_ = report.oldestOwed;
    const LocalDateTime now = parts_.clock.now();
    // A copy that fails is told when it starts failing, and once a day while it goes on.
    if (!report.failures.empty() && (!failing_ || notices_.tell("uzak kopya", now))) parts_.warn(report.failures.front());
    if (!report.failures.empty()) notices_.tell("uzak kopya", now);
    failing_ = !report.failures.empty();
    nextPass_.reset();
    if (report.owed > 0 && !report.cut) {
        std::int64_t in = kCopyPassSeconds;
        if (report.retryIn && *report.retryIn < in) in = std::max<std::int64_t>(*report.retryIn, 1);
        nextPass_ = wallSecond(now) + in;
    }
}

std::vector<std::string> SecondCopy::provenLines() const {
    std::vector<std::string> lines;
    for (std::size_t pair = 0; pair < proven_.size(); ++pair)
        if (!proven_[pair].empty()) lines.push_back(std::to_string(pair + 1) + ". çift: " + proven_[pair]);
    return lines;
}

std::optional<std::string> SecondCopy::overdue(const std::array<ScheduleSlot, 3>& slots) const {
    const std::optional<std::int64_t> after = overdueAfterSeconds(slots);
    if (!place_ || !oldestOwed_ || !after) return std::nullopt;
    const std::int64_t age = wallSecond(parts_.clock.now()) - wallSecond(stampTime(*oldestOwed_));
    if (age <= *after - kOverdueGraceSeconds + kCopyOverdueGraceSeconds) return std::nullopt;
    return "Uzak kopya " + std::to_string(age / 3600) + " saattir alınamadı";
}

void SecondCopy::checkOverdue(const std::array<ScheduleSlot, 3>& slots) {
    const std::optional<std::string> text = overdue(slots);
    if (!text || !notices_.tell("uzak gecikme", parts_.clock.now())) return;
    parts_.log(*text);
    parts_.warn(*text);
}

void SecondCopy::trial(const RemoteSettings& settings, std::function<void(const std::string&)> answer) {
    if (trial_ && !*trialDone_) return answer("Bir deneme sürüyor");
    if (trial_) trial_->join();
    std::string failure;
    std::shared_ptr<SecondPlace> place = parts_.makePlace(settings, failure);
    if (!place) return answer("Denenemedi: " + failure);
    std::weak_ptr<bool> alive = alive_;
    trialDone_ = std::make_shared<std::atomic<bool>>(false);
    trial_ = std::make_unique<std::thread>([this, alive, place, done = trialDone_, answer = std::move(answer)] {
        std::string text = trialText(place->trial());
        *done = true;
        parts_.post([alive, answer, text = std::move(text)] {
            if (alive.lock()) answer(text);
        });
    });
}

}  // namespace zel
