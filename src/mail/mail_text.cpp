#include "mail/mail_text.h"

#include "text/base64.h"

#include <array>
#include <cstdio>

namespace zel {
namespace {

constexpr std::string_view kWordStart = "=?UTF-8?B?";
constexpr std::string_view kWordEnd = "?=";
// 75 characters a word: its 12 of framing leave 63, which hold 45 bytes of text (60 in base64).
constexpr std::size_t kWordBytes = 45;

bool plainAscii(std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

// The length of the UTF-8 character starting with `lead`.
std::size_t letterLength(unsigned char lead) {
    if (lead >= 0xf0) return 4;
    if (lead >= 0xe0) return 3;
    if (lead >= 0xc0) return 2;
    return 1;
}

std::string twoDigits(int n) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02d", n);
    return buffer;
}

}  // namespace

std::string mailSubject(std::string_view computer, MailKind kind) {
    std::string subject = "[ZEL Yedek] " + std::string(computer) + ": ";
    switch (kind) {
        case MailKind::Failed: return subject + "Yedekleme başarısız";
        case MailKind::Completed: return subject + "Yedekleme tamamlandı";
        case MailKind::Warning: return subject + "uyarı";
        case MailKind::Test: return subject + "deneme iletisi";
    }
    return subject;
}

std::string base64Lines(std::string_view bytes) {
    const std::string encoded = base64(bytes);
    std::string out;
    for (std::size_t i = 0; i < encoded.size(); i += 76) {
        out += encoded.substr(i, 76);
        out += "\r\n";
    }
    return out;
}

std::string encodedHeaderText(std::string_view utf8) {
    if (plainAscii(utf8)) return std::string(utf8);
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        std::size_t end = i;
        while (end < utf8.size()) {
            const std::size_t next = end + letterLength(static_cast<unsigned char>(utf8[end]));
            if (next - i > kWordBytes) break;
            end = next;
        }
        if (end == i) end = std::min(utf8.size(), i + kWordBytes);  // a broken letter longer than a word
        end = std::min(end, utf8.size());
        if (!out.empty()) out += "\r\n ";
        out += kWordStart;
        out += base64(utf8.substr(i, end - i));
        out += kWordEnd;
        i = end;
    }
    return out;
}

std::string mailDate(const LocalDateTime& t, int utcOffsetMinutes) {
    static constexpr std::array<std::string_view, 7> kDays = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // Sakamoto's day of the week.
    static constexpr std::array<int, 12> kShift = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int y = t.month < 3 ? t.year - 1 : t.year;
    const int weekday = (y + y / 4 - y / 100 + y / 400 + kShift[static_cast<std::size_t>(t.month - 1)] + t.day) % 7;
    const int offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    return std::string(kDays[static_cast<std::size_t>(weekday)]) + ", " + twoDigits(t.day) + " " +
           std::string(kMonths[static_cast<std::size_t>(t.month - 1)]) + " " + std::to_string(t.year) + " " +
           twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second) + " " +
           (utcOffsetMinutes < 0 ? "-" : "+") + twoDigits(offset / 60) + twoDigits(offset % 60);
}

std::string mailMessageId(std::string_view sender, const LocalDateTime& t, unsigned long long unique) {
    const std::size_t at = sender.rfind('@');
    const std::string domain = at == std::string_view::npos ? "zelyedek.invalid" : std::string(sender.substr(at + 1));
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return "<" + std::string(stamp) + "." + std::to_string(unique) + ".zelyedek@" + domain + ">";
}

std::string mailText(const MailHeaderValues& h, const std::vector<std::string>& bodyLines) {
    std::string to;
    for (const std::string& r : h.recipients) to += (to.empty() ? "" : ",\r\n ") + r;
    std::string body;
    for (const std::string& line : bodyLines) body += line + "\r\n";
    return "Date: " + h.date + "\r\n" +
           "From: ZEL Yedek <" + h.sender + ">\r\n" +
           "To: " + to + "\r\n" +
           "Subject: " + encodedHeaderText(h.subject) + "\r\n" +
           "Message-ID: " + h.messageId + "\r\n" +
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=UTF-8\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "\r\n" +
           base64Lines(body);
}

}  // namespace zel
