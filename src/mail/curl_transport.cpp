#include "mail/curl_transport.h"

#include "mail/curl_common.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

namespace zel {
namespace {

struct Transfer {
    std::string_view text;
    std::size_t sent = 0;
    std::string lastReply;  // the server's last line
    const std::atomic<bool>* abort = nullptr;
};

std::size_t readMail(char* buffer, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = std::min(size * count, t->text.size() - t->sent);
    std::memcpy(buffer, t->text.data() + t->sent, n);
    t->sent += n;
    return n;
}

// Keeps the server's replies: the last one is the answer shown to the user. What the program
// sends (the password among it) is never kept.
int watchTalk(CURL*, curl_infotype type, char* data, std::size_t size, void* user) {
    if (type != CURLINFO_HEADER_IN) return 0;
    std::string line(data, size);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (!line.empty()) static_cast<Transfer*>(user)->lastReply = line;
    return 0;
}

int checkAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->abort->load() ? 1 : 0;
}

bool isFailureReply(const std::string& reply) {
    return reply.size() >= 3 && (reply[0] == '4' || reply[0] == '5') && std::isdigit(static_cast<unsigned char>(reply[1]));
}

}  // namespace

std::string mailServerUrl(const OutgoingMail& mail) {
    return std::string(mail.security == MailSecurity::Tls ? "smtps://" : "smtp://") + mail.server + ":" +
           std::to_string(mail.port);
}

std::string programCaFile() {
#ifndef _WIN32
    if (const char* file = std::getenv("SSL_CERT_FILE")) return file;
#endif
    return {};
}

void startTransfer(CURL* c, const std::string& url, const char* protocols, char* error,
                   std::chrono::seconds connectLimit, std::chrono::seconds limit, const std::string& caFile) {
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, protocols);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, static_cast<long>(connectLimit.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(limit.count()));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
#ifdef _WIN32
    // A server's certificate whose revocation list cannot be reached (a local CA, a firewall) is
    // still checked for trust; one that is revoked is refused.
    curl_easy_setopt(c, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
#endif
    if (!caFile.empty()) curl_easy_setopt(c, CURLOPT_CAINFO, caFile.c_str());
}

std::string transferFailure(CURLcode result, const char* error) {
    if (result == CURLE_ABORTED_BY_CALLBACK) return "durduruldu";
    std::string why = error[0] ? error : curl_easy_strerror(result);
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
    return why;
}

void initCurlOnce() {
    // Once, before any sending thread: libcurl's global set-up is not safe to race.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::unique_ptr<MailTransport> programMailTransport() {
    return std::make_unique<CurlTransport>(kMailConnectLimit, kMailSendLimit, programCaFile());
}

CurlTransport::CurlTransport(std::chrono::seconds connectLimit, std::chrono::seconds mailLimit, std::string caFile)
    : connectLimit_(connectLimit), mailLimit_(mailLimit), caFile_(std::move(caFile)) {
    initCurlOnce();
}

MailSent CurlTransport::send(const OutgoingMail& mail, const std::atomic<bool>& abort) {
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return {false, "libcurl başlatılamadı"};
    CURL* c = curl.get();
    Transfer transfer{mail.text, 0, {}, &abort};
    char error[CURL_ERROR_SIZE] = {};
    curl_slist* recipients = nullptr;
    for (const std::string& r : mail.recipients) recipients = curl_slist_append(recipients, ("<" + r + ">").c_str());
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> keepRecipients(recipients, curl_slist_free_all);

    const std::string url = mailServerUrl(mail);
    const std::string from = "<" + mail.sender + ">";
    startTransfer(c, url, "smtp,smtps", error, connectLimit_, mailLimit_, caFile_);
    // STARTTLS must succeed: a server that does not offer it gets no mail in clear.
    curl_easy_setopt(c, CURLOPT_USE_SSL,
                     mail.security == MailSecurity::None ? static_cast<long>(CURLUSESSL_NONE)
                                                         : static_cast<long>(CURLUSESSL_ALL));
    if (!mail.user.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, mail.user.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, mail.password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients);
    curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(c, CURLOPT_READFUNCTION, readMail);
    curl_easy_setopt(c, CURLOPT_READDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mail.text.size()));
    curl_easy_setopt(c, CURLOPT_VERBOSE, 1L);  // for the replies only: watchTalk prints nothing
    curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, watchTalk);
    curl_easy_setopt(c, CURLOPT_DEBUGDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, checkAbort);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode result = curl_easy_perform(c);
    if (result == CURLE_OK) return {true, transfer.lastReply};
    // The server's refusal says most ("535 5.7.8 ..."); otherwise libcurl's reason.
    if (result != CURLE_ABORTED_BY_CALLBACK && isFailureReply(transfer.lastReply)) return {false, transfer.lastReply};
    return {false, transferFailure(result, error)};
}

}  // namespace zel
