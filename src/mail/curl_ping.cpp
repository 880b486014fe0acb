#include "mail/curl_ping.h"

#include <memory>

#include "mail/curl_common.h"

namespace zel {
namespace {

// The server's answer is not read: only its status counts.
std::size_t ignoreAnswer(char*, std::size_t size, std::size_t count, void*) { return size * count; }

int checkAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

PingSent curlPing(const std::string& url, const std::string& body, const std::atomic<bool>& abort,
                  std::chrono::seconds limit, const std::string& caFile) {
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return {false, "libcurl başlatılamadı"};
    CURL* c = curl.get();
    char error[CURL_ERROR_SIZE] = {};
    startTransfer(c, url, "http,https", error, limit, limit, caFile);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "ZEL Yedek");
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);  // a 4xx or 5xx status is no ping received
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(
        curl_slist_append(nullptr, "Content-Type: text/plain; charset=utf-8"), curl_slist_free_all);
    if (!body.empty()) {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    }
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, ignoreAnswer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, checkAbort);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(&abort));
    const CURLcode result = curl_easy_perform(c);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (result == CURLE_OK) return {true, "HTTP " + std::to_string(status)};
    return {false, transferFailure(result, error)};
}

}  // namespace

PingSend curlPingSend(std::chrono::seconds limit) {
    initCurlOnce();
    return [limit, caFile = programCaFile()](const std::string& url, const std::string& body,
                                             const std::atomic<bool>& abort) {
        return curlPing(url, body, abort, limit, caFile);
    };
}

}  // namespace zel
