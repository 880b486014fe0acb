#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/system/local_time.h"

namespace zel {

// What a mail is about; its subject says it.
enum class MailKind { Failed, Completed, Warning, Test };

// "[ZEL Yedek] <computer>: Yedekleme başarısız" (Failed), "... tamamlandı", "... uyarı",
// "... deneme iletisi".
std::string mailSubject(std::string_view computer, MailKind kind);

// A header's text as RFC 2047 encoded words ("=?UTF-8?B?...?="), each at most 75 characters and
// never cutting a letter in two, joined by a folding line break; plain ASCII stays as it is.
std::string encodedHeaderText(std::string_view utf8);

// Base64 of `bytes`, in lines of 76 characters ending with CR LF (the body of a mail).
std::string base64Lines(std::string_view bytes);

// "Tue, 08 Dec 2026 05:00:00 +0300": the local time and its distance from UTC in minutes.
std::string mailDate(const LocalDateTime& local, int utcOffsetMinutes);

// A whole mail ready for the server: headers (Date, From, To, Subject, Message-ID, MIME-Version,
// Content-Type with the charset, Content-Transfer-Encoding) and the body lines as UTF-8 text,
// base64 encoded so that no line of it can be too long or look like the mail's end.
struct MailHeaderValues {
    std::string sender;                   // the address alone
    std::vector<std::string> recipients;  // the addresses alone
    std::string subject;                  // UTF-8
    std::string date;                     // as mailDate writes it
    std::string messageId;                // "<...@...>"
};
std::string mailText(const MailHeaderValues& headers, const std::vector<std::string>& bodyLines);

// A Message-ID for one mail: the moment and `unique` (which tells this program's mails apart), at
// the sender's domain.
std::string mailMessageId(std::string_view sender, const LocalDateTime& local, unsigned long long unique);

}  // namespace zel
