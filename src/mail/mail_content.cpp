#include "mail/mail_content.h"

#include <utility>

#include "engine/schedule.h"

namespace zel {
namespace {

constexpr std::int64_t kBatchQuietSeconds = 60;
constexpr std::int64_t kBatchLongestSeconds = 600;

void closing(std::vector<std::string>& body, const std::string& summaryLine) {
    body.emplace_back();
    body.push_back("Durum: " + summaryLine);
    body.push_back("ZEL Yedek " + std::string(ZEL_VERSION));
}

}  // namespace

bool runIsMailed(MailWhat what, bool failed) {
    return what == MailWhat::Everything || (what == MailWhat::Failures && failed);
}

bool warningsAreMailed(MailWhat what) {
    return what != MailWhat::Nothing;
}

MailContent runMail(const RunMailFacts& run, const std::string& summaryLine) {
    MailContent mail{run.failed ? MailKind::Failed : MailKind::Completed, {}};
    mail.body.push_back(run.failed ? "Yedekleme başarısız oldu." : "Yedekleme tamamlandı.");
    mail.body.emplace_back();
    mail.body.insert(mail.body.end(), run.lines.begin(), run.lines.end());
    if (!run.warnings.empty()) {
        mail.body.emplace_back();
        mail.body.push_back("Uyarılar:");
        mail.body.insert(mail.body.end(), run.warnings.begin(), run.warnings.end());
    }
    closing(mail.body, summaryLine);
    return mail;
}

MailContent warningMail(const std::vector<std::string>& warnings, const std::string& summaryLine) {
    MailContent mail{MailKind::Warning, {"Uyarılar:"}};
    mail.body.insert(mail.body.end(), warnings.begin(), warnings.end());
    closing(mail.body, summaryLine);
    return mail;
}

MailContent testMail(const std::string& summaryLine) {
    MailContent mail{MailKind::Test, {"Bu bir deneme iletisidir: e-posta ayarları çalışıyor."}};
    closing(mail.body, summaryLine);
    return mail;
}

void WarningBatch::add(std::string line, const LocalDateTime& now) {
    const std::int64_t at = wallSecond(now);
    if (lines_.empty()) first_ = at;
    last_ = at;
    lines_.push_back(std::move(line));
}

std::optional<std::vector<std::string>> WarningBatch::takeDue(const LocalDateTime& now, bool force) {
    if (lines_.empty()) return std::nullopt;
    const std::int64_t at = wallSecond(now);
    // A clock set back makes the batch due rather than holding it for as long as it went back.
    const bool due = force || at - last_ >= kBatchQuietSeconds || at - first_ >= kBatchLongestSeconds || at < first_;
    if (!due) return std::nullopt;
    return std::exchange(lines_, {});
}

}  // namespace zel
