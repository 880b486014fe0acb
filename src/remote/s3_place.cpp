#include "remote/s3_place.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

#include "mail/curl_common.h"
#include "text/base64.h"
#include "text/md5.h"

namespace zel {

namespace {

constexpr std::chrono::seconds kConnectLimit{10};
// No limit on a whole transfer, which may be 20 GB on a slow line; one that moves less than a byte a
// second for a minute is dead.
constexpr long kLowSpeedBytes = 1;
constexpr long kLowSpeedSeconds = 60;
constexpr std::size_t kReplyLimit = 4u << 20;  // a listing page of 1000 keys is well under 1 MB
constexpr std::size_t kReadBuffer = 1u << 20;
constexpr int kPartTries = 3;
constexpr const char* kTrialName = "zelyedek-deneme.tmp";

// What a request sends: nothing, a text, or a range of the local archive read at offsets.
struct Body {
    std::string_view text;
    FileReader* file = nullptr;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint64_t sent = 0;
    bool readFailed = false;
};

struct Request {
    const char* method = "GET";
    std::string url;
    std::vector<std::string> headers;
    Body body;
    const std::atomic<bool>* stop = nullptr;
    char* into = nullptr;  // a ranged GET's bytes go here, at most `limit`
    std::size_t limit = kReplyLimit;
};

struct Reply {
    long status = 0;
    std::string body;
    std::size_t got = 0;  // bytes written to Request::into
    std::string etag;     // without quotes
    std::optional<std::uint64_t> length;
    std::string failure;  // empty when the server said 2xx
    bool tooBig = false;
    explicit operator bool() const { return failure.empty(); }
};

struct Exchange {
    const Request* request;
    Reply* reply;
};

std::size_t readBody(char* buffer, std::size_t size, std::size_t count, void* user) {
    Body& b = *static_cast<Body*>(user);
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size * count, b.length - b.sent));
    if (n == 0) return 0;
    if (!b.file) {
        std::memcpy(buffer, b.text.data() + b.sent, n);
        b.sent += n;
        return n;
    }
    const auto got = b.file->readAt(b.offset + b.sent, buffer, n);
    if (!got || *got == 0) {  // the archive ended early or could not be read: nothing half sent counts
        b.readFailed = true;
        return CURL_READFUNC_ABORT;
    }
    b.sent += *got;
    return *got;
}

int seekBody(void* user, curl_off_t offset, int origin) {
    Body& b = *static_cast<Body*>(user);
    if (origin != SEEK_SET || offset < 0 || static_cast<std::uint64_t>(offset) > b.length)
        return CURL_SEEKFUNC_CANTSEEK;
    b.sent = static_cast<std::uint64_t>(offset);
    return CURL_SEEKFUNC_OK;
}

std::size_t writeReply(char* data, std::size_t size, std::size_t count, void* user) {
    const Exchange& x = *static_cast<Exchange*>(user);
    const std::size_t n = size * count;
    const std::size_t have = x.request->into ? x.reply->got : x.reply->body.size();
    if (n > x.request->limit - have) {  // more than asked for: a hostile or broken server
        x.reply->tooBig = true;
        return 0;
    }
    if (x.request->into) {
        std::memcpy(x.request->into + have, data, n);
        x.reply->got += n;
    } else {
        x.reply->body.append(data, n);
    }
    return n;
}

std::size_t readHeader(char* data, std::size_t size, std::size_t count, void* user) {
    Reply& r = *static_cast<Exchange*>(user)->reply;
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {  // a new response (after "100 Continue"): forget the last one's
        r.etag.clear();
        r.length.reset();
        return size * count;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon > 64) return size * count;
    std::string name(line.substr(0, colon));
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    if (name == "etag" && value.size() <= 128) {
        std::string etag(value);
        if (etag.size() >= 2 && etag.front() == '"' && etag.back() == '"')
            etag = etag.substr(1, etag.size() - 2);
        std::transform(etag.begin(), etag.end(), etag.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        r.etag = etag;
    } else if (name == "content-length") {
        std::uint64_t n = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec == std::errc() && end == value.data() + value.size()) r.length = n;
    }
    return size * count;
}

int checkStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* stop = static_cast<const Exchange*>(user)->request->stop;
    return stop && stop->load() ? 1 : 0;
}

std::string md5Header(std::string_view binaryMd5) {
    return "Content-MD5: " + base64(binaryMd5);
}

std::string hostOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);
    url = url.substr(0, url.find('/'));
    const std::size_t at = url.rfind('@');  // a user written into the URL is never shown
    if (at != std::string_view::npos) url.remove_prefix(at + 1);
    return std::string(url);
}

}  // namespace

// One libcurl handle, reused so that its connection is too; each request signed with SigV4.
class S3Transfer {
public:
    explicit S3Transfer(const S3Config& config) : config_(config), curl_(curl_easy_init()) {
        sigv4_ = "aws:amz:" + config.region + ":s3";
    }
    ~S3Transfer() {
        if (curl_) curl_easy_cleanup(curl_);
    }
    S3Transfer(const S3Transfer&) = delete;
    S3Transfer& operator=(const S3Transfer&) = delete;

    Reply perform(Request request) {
        Reply reply;
        if (!curl_) {
            reply.failure = "libcurl başlatılamadı";
            return reply;
        }
        CURL* c = curl_;
        curl_easy_reset(c);
        char error[CURL_ERROR_SIZE] = {};
        startTransfer(c, request.url, "http,https", error, kConnectLimit, std::chrono::seconds{0},
                      config_.caFile);
        curl_easy_setopt(c, CURLOPT_USERAGENT, "ZEL Yedek");
        curl_easy_setopt(c, CURLOPT_AWS_SIGV4, sigv4_.c_str());
        // Apart, not as "id:secret": a key id with a colon in it cannot move the secret's start.
        curl_easy_setopt(c, CURLOPT_USERNAME, config_.keyId.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, config_.secret.c_str());
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytes);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
        if (config_.speedLimitKb > 0)
            curl_easy_setopt(c, CURLOPT_MAX_SEND_SPEED_LARGE,
                             static_cast<curl_off_t>(config_.speedLimitKb) * 1024);

        // libcurl 7.88 signs the SHA-256 of POSTFIELDS only (of nothing for a read callback's
        // upload) and adds no x-amz-content-sha256 of its own, which S3 requires: the payload goes
        // unsigned, and Content-MD5 guards a PUT's bytes instead.
        curl_slist* list = curl_slist_append(nullptr, "x-amz-content-sha256: UNSIGNED-PAYLOAD");
        for (const std::string& h : request.headers) list = curl_slist_append(list, h.c_str());
        const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(list, curl_slist_free_all);
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());

        Body& body = request.body;
        const std::string_view method = request.method;
        if (method == "HEAD") {
            curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        } else if (method == "PUT") {
            if (!body.file) body.length = body.text.size();
            curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
            curl_easy_setopt(c, CURLOPT_READFUNCTION, readBody);
            curl_easy_setopt(c, CURLOPT_READDATA, &body);
            curl_easy_setopt(c, CURLOPT_SEEKFUNCTION, seekBody);
            curl_easy_setopt(c, CURLOPT_SEEKDATA, &body);
            curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(body.length));
        } else if (method == "POST") {
            curl_easy_setopt(c, CURLOPT_POST, 1L);
            curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.text.size()));
            // Never NULL, even for no body: libcurl would then read the body from stdin.
            curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.text.empty() ? "" : body.text.data());
        } else if (method != "GET") {
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, request.method);
        }
        Exchange exchange{&request, &reply};
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, writeReply);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &exchange);
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, readHeader);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &exchange);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, checkStop);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &exchange);

        const CURLcode result = curl_easy_perform(c);
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
        if (reply.tooBig)
            reply.failure = "sunucunun yanıtı çok büyük";
        else if (body.readFailed)
            reply.failure = "arşiv okunamadı";
        else if (result != CURLE_OK)
            reply.failure = transferFailure(result, error);
        else if (reply.status < 200 || reply.status > 299)
            reply.failure = s3::errorText(reply.body, reply.status);
        reply.failure = s3::withoutSecret(reply.failure, config_.secret);
        return reply;
    }

private:
    const S3Config& config_;
    CURL* curl_;
    std::string sigv4_;
};

namespace {

// A copy there read through ranged GETs: enough for a zip's central directory.
class S3Reader final : public FileReader {
public:
    // Its own copy of the config: a reader may outlive the place that opened it.
    S3Reader(const S3Config& config, std::string url, std::uint64_t size)
        : config_(config), transfer_(config_), url_(std::move(url)), size_(size) {}
    std::uint64_t size() const override { return size_; }
    std::optional<std::size_t> readAt(std::uint64_t offset, char* buffer, std::size_t n) override {
        if (offset >= size_ || n == 0) return 0;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
        Request r;
        r.url = url_;
        r.headers = {"Range: bytes=" + std::to_string(offset) + "-" + std::to_string(offset + n - 1)};
        r.into = buffer;
        r.limit = n;
        const Reply reply = transfer_.perform(r);
        // A 200 is the whole object, which only a read of all of it may take.
        const bool ranged = reply.status == 206 || (reply.status == 200 && offset == 0 && n == size_);
        if (!reply || !ranged || reply.got != n) return std::nullopt;
        return n;
    }

private:
    S3Config config_;
    S3Transfer transfer_;
    std::string url_;
    std::uint64_t size_;
};

}  // namespace

// The local archive's sums, read once: each part's binary MD5 and the ETag the whole should get.
struct S3Place::Local {
    std::vector<s3::PartRange> parts;
    std::vector<std::string> md5s;
    std::string etag;
};

namespace {

std::optional<std::vector<std::string>> partSums(FileReader& local, const std::vector<s3::PartRange>& parts,
                                                 const std::atomic<bool>& stop, std::string& failure) {
    std::vector<char> buffer(kReadBuffer);
    std::vector<std::string> sums;
    for (const s3::PartRange& p : parts) {
        Md5 md5;
        for (std::uint64_t at = 0; at < p.length;) {
            if (stop) {
                failure = "durduruldu";
                return std::nullopt;
            }
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), p.length - at));
            const auto got = local.readAt(p.offset + at, buffer.data(), want);
            if (!got || *got == 0) {
                failure = "arşiv okunamadı";
                return std::nullopt;
            }
            md5.update(buffer.data(), *got);
            at += *got;
        }
        const auto digest = md5.final();
        sums.emplace_back(digest.begin(), digest.end());
    }
    return sums;
}

}  // namespace

S3Place::S3Place(S3Config config) : config_(std::move(config)) {
    initCurlOnce();
    while (!config_.endpoint.empty() && config_.endpoint.back() == '/') config_.endpoint.pop_back();
    if (!config_.now)
        config_.now = [] {
            return std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                .count();
        };
    if (config_.listPageSize < 1 || config_.listPageSize > 1000) config_.listPageSize = 1000;
    transfer_ = std::make_unique<S3Transfer>(config_);
}

S3Place::~S3Place() = default;

std::string S3Place::describe() const {
    return "s3://" + config_.bucket + "/" + config_.prefix + " (" + hostOf(config_.endpoint) + ")";
}

std::string S3Place::url(const std::string& key, const std::string& query) const {
    return s3::objectUrl(config_.endpoint, config_.bucket, key) + (query.empty() ? "" : "?" + query);
}

std::string S3Place::bucketUrl(const std::string& query) const {
    std::string url = s3::objectUrl(config_.endpoint, config_.bucket, "");
    url.pop_back();  // the bucket's own requests have no "/" after its name
    return url + "?" + query;
}

void S3Place::lockHeaders(std::vector<std::string>& headers) const {
    if (config_.lockDays <= 0) return;
    headers.push_back(std::string("x-amz-object-lock-mode: ") +
                      (config_.lockMode == LockMode::Governance ? "GOVERNANCE" : "COMPLIANCE"));
    headers.push_back("x-amz-object-lock-retain-until-date: " +
                      s3::retainUntil(config_.now(), config_.lockDays));
}

bool S3Place::everyPage(const std::string& what, const std::string& prefix, const std::atomic<bool>* stop,
                        const std::function<std::optional<s3::Markers>(const std::string&)>& page,
                        std::string& failure) {
    const std::string idMarker = what == "versions" ? "version-id-marker" : "upload-id-marker";
    s3::Markers at;
    for (int n = 0; n < 1000; ++n) {
        Request r;
        r.url = bucketUrl((at.key.empty() ? "" : "key-marker=" + s3::encodeQuery(at.key) + "&") +
                          "prefix=" + s3::encodeQuery(prefix) +
                          (at.id.empty() ? "" : "&" + idMarker + "=" + s3::encodeQuery(at.id)) + "&" + what +
                          "=");
        r.stop = stop;
        const Reply reply = transfer_->perform(r);
        if (!reply) {
            failure = reply.failure;
            return false;
        }
        const std::optional<s3::Markers> next = page(reply.body);
        if (!next) {
            failure = what == "versions" ? "sürümler okunamadı" : "yarım kalan yüklemeler okunamadı";
            return false;
        }
        if (!next->more) return true;
        at = *next;
    }
    failure = "liste bitmedi";
    return false;
}

std::optional<std::vector<s3::PendingUpload>> S3Place::pendingUploads(const std::string& prefix,
                                                                      const std::atomic<bool>* stop,
                                                                      std::string& failure) {
    std::vector<s3::PendingUpload> uploads;
    const bool listed = everyPage(
        "uploads", prefix, stop,
        [&](const std::string& body) -> std::optional<s3::Markers> {
            const auto parsed = s3::parseUploadList(body);
            if (!parsed) return std::nullopt;
            uploads.insert(uploads.end(), parsed->uploads.begin(), parsed->uploads.end());
            return s3::Markers{parsed->truncated, parsed->nextKeyMarker, parsed->nextUploadIdMarker};
        },
        failure);
    if (!listed) return std::nullopt;
    return uploads;
}

std::optional<std::vector<PlaceItem>> S3Place::list(const std::string& folder, std::string& failure) {
    const std::string start = config_.prefix + folder + "/";
    std::vector<PlaceItem> items;
    std::string token;
    for (int page = 0; page < 10000; ++page) {
        std::string query = token.empty() ? "" : "continuation-token=" + s3::encodeQuery(token) + "&";
        query += "list-type=2&max-keys=" + std::to_string(config_.listPageSize) +
                 "&prefix=" + s3::encodeQuery(start);
        Request r;
        r.url = bucketUrl(query);
        const Reply reply = transfer_->perform(r);
        if (!reply) {
            failure = reply.failure;
            return std::nullopt;
        }
        const auto parsed = s3::parseObjectList(reply.body);
        if (!parsed) {
            failure = "sunucunun listesi okunamadı";
            return std::nullopt;
        }
        for (const s3::ListedObject& o : parsed->objects) {
            if (!o.key.starts_with(start)) continue;
            const std::string name = o.key.substr(start.size());
            if (name.empty() || name.find('/') != std::string::npos) continue;  // not one of this folder's
            items.push_back({name, o.size, o.etag});
        }
        if (!parsed->truncated) return items;
        token = parsed->nextToken;
    }
    failure = "liste bitmedi";
    return std::nullopt;
}

std::string S3Place::check(const std::string& key, std::uint64_t size, const std::string& etag,
                           const std::atomic<bool>& stop, std::string* stamp) {
    Request r;
    r.method = "HEAD";
    r.url = url(key);
    r.stop = &stop;
    const Reply reply = transfer_->perform(r);
    if (!reply) return reply.failure;
    if (!reply.length || *reply.length != size)
        return "boyut farklı: " + (reply.length ? std::to_string(*reply.length) : std::string("?")) + " ≠ " +
               std::to_string(size);
    if (reply.etag != etag) return "ETag farklı: " + reply.etag + " ≠ " + etag;
    if (stamp) *stamp = reply.etag;
    return {};
}

std::optional<PlaceItem> S3Place::put(const std::string& folder, const std::string& name, FileReader& local,
                                      const std::atomic<bool>& stop, std::string& failure) {
    auto item = putKey(s3::objectKey(config_.prefix, folder, name), local, stop, failure);
    if (item) item->name = name;
    return item;
}

std::optional<PlaceItem> S3Place::putKey(const std::string& key, FileReader& local,
                                         const std::atomic<bool>& stop, std::string& failure) {
    Local sums;
    sums.parts = s3::planParts(local.size(), config_.partSize);
    auto md5s = partSums(local, sums.parts, stop, failure);
    if (!md5s) return std::nullopt;
    sums.md5s = std::move(*md5s);
    if (sums.parts.size() > 1) {
        sums.etag = s3::multipartEtag(sums.md5s);
        return putMultipart(key, local, sums, stop, failure);
    }
    sums.etag = toHex(sums.md5s[0]);
    Request r;
    r.method = "PUT";
    r.url = url(key);
    r.stop = &stop;
    r.headers = {md5Header(sums.md5s[0]), "Content-Type: application/octet-stream"};
    lockHeaders(r.headers);
    r.body.file = &local;
    r.body.length = local.size();
    const Reply reply = transfer_->perform(r);
    if (!reply) {
        failure = reply.failure;
        return std::nullopt;
    }
    PlaceItem item{key, local.size(), {}};
    failure = check(key, local.size(), sums.etag, stop, &item.stamp);
    if (!failure.empty()) return std::nullopt;
    return item;
}

std::optional<PlaceItem> S3Place::putMultipart(const std::string& key, FileReader& local, const Local& sums,
                                               const std::atomic<bool>& stop, std::string& failure) {
    // An upload of this key that a cut put left is taken up again: its parts that are whole there
    // are not sent twice.
    std::optional<std::vector<s3::PendingUpload>> pending = pendingUploads(key, &stop, failure);
    if (!pending) return std::nullopt;
    std::erase_if(*pending, [&](const s3::PendingUpload& u) { return u.key != key; });
    std::sort(pending->begin(), pending->end(),
              [](const auto& a, const auto& b) { return a.initiated > b.initiated; });

    std::string uploadId;
    std::map<int, s3::UploadedPart> there;
    for (const s3::PendingUpload& u : *pending) {
        if (!uploadId.empty()) {  // an older one only holds space
            Request abort;
            abort.method = "DELETE";
            abort.url = url(key, "uploadId=" + s3::encodeQuery(u.uploadId));
            transfer_->perform(abort);
            continue;
        }
        std::string marker;
        bool whole = true;
        for (int page = 0; page < 100; ++page) {
            Request r;
            r.url = url(key, (marker.empty() ? "" : "part-number-marker=" + s3::encodeQuery(marker) + "&") +
                                 "uploadId=" + s3::encodeQuery(u.uploadId));
            r.stop = &stop;
            const Reply reply = transfer_->perform(r);
            const auto parsed = reply ? s3::parsePartList(reply.body) : std::nullopt;
            if (!parsed) {
                whole = false;
                break;
            }
            for (const auto& p : parsed->parts) there[p.number] = p;
            if (!parsed->truncated) break;
            marker = parsed->nextMarker;
        }
        if (whole) {
            uploadId = u.uploadId;
        } else {
            there.clear();
        }
    }

    if (uploadId.empty()) {
        Request r;
        r.method = "POST";
        r.url = url(key, "uploads=");
        r.stop = &stop;
        r.headers = {"Content-Type: application/octet-stream"};
        lockHeaders(r.headers);
        const Reply reply = transfer_->perform(r);
        if (!reply) {
            failure = reply.failure;
            return std::nullopt;
        }
        const auto id = s3::parseUploadId(reply.body);
        if (!id) {
            failure = "yükleme başlatılamadı: " + s3::errorText(reply.body, reply.status);
            return std::nullopt;
        }
        uploadId = *id;
    }

    std::vector<s3::UploadedPart> done;
    for (const s3::PartRange& p : sums.parts) {
        const std::string md5 = toHex(sums.md5s[p.number - 1]);
        const auto have = there.find(p.number);
        if (have != there.end() && have->second.etag == md5 && have->second.size == p.length) {
            done.push_back({p.number, md5, p.length});
            continue;
        }
        std::string why;
        for (int attempt = 1; attempt <= kPartTries; ++attempt) {
            Request r;
            r.method = "PUT";
            r.url =
                url(key, "partNumber=" + std::to_string(p.number) + "&uploadId=" + s3::encodeQuery(uploadId));
            r.stop = &stop;
            r.headers = {md5Header(sums.md5s[p.number - 1])};
            r.body.file = &local;
            r.body.offset = p.offset;
            r.body.length = p.length;
            const Reply reply = transfer_->perform(r);
            why =
                reply ? (reply.etag == md5 ? "" : "ETag farklı: " + reply.etag + " ≠ " + md5) : reply.failure;
            if (why.empty() || stop || attempt == kPartTries) break;
            std::this_thread::sleep_for(
                std::chrono::seconds(attempt));  // a line that just dropped may be back
        }
        if (stop) {
            failure = "durduruldu";
            return std::nullopt;
        }
        if (!why.empty()) {
            failure = "parça " + std::to_string(p.number) + ": " + why;
            return std::nullopt;
        }
        done.push_back({p.number, md5, p.length});
    }

    const std::string body = s3::completeBody(done);
    Request r;
    r.method = "POST";
    r.url = url(key, "uploadId=" + s3::encodeQuery(uploadId));
    r.stop = &stop;
    r.headers = {"Content-Type: application/xml", md5Header(md5Bytes(body))};
    r.body.text = body;
    const Reply reply = transfer_->perform(r);
    // S3 may say 200 and still fail the completion in the body.
    if (reply && !s3::errorCode(reply.body).empty()) {
        failure = s3::withoutSecret(s3::errorText(reply.body, reply.status), config_.secret);
        return std::nullopt;
    }
    if (!reply) {
        failure = reply.failure;
        return std::nullopt;
    }
    PlaceItem item{key, local.size(), {}};
    failure = check(key, local.size(), sums.etag, stop, &item.stamp);
    if (!failure.empty()) return std::nullopt;
    return item;
}

PlaceResult S3Place::prove(const std::string& folder, const std::string& name, FileReader& local,
                           const std::atomic<bool>& stop) {
    const auto parts = s3::planParts(local.size(), config_.partSize);
    std::string failure;
    const auto md5s = partSums(local, parts, stop, failure);
    if (!md5s) return {failure};
    const std::string etag = parts.size() > 1 ? s3::multipartEtag(*md5s) : toHex((*md5s)[0]);
    return {check(s3::objectKey(config_.prefix, folder, name), local.size(), etag, stop)};
}

std::unique_ptr<FileReader> S3Place::open(const std::string& folder, const std::string& name) {
    Request r;
    r.method = "HEAD";
    r.url = url(s3::objectKey(config_.prefix, folder, name));
    const Reply reply = transfer_->perform(r);
    if (!reply || !reply.length) return nullptr;
    return std::make_unique<S3Reader>(config_, r.url, *reply.length);
}

RemoveOutcome S3Place::removeKey(const std::string& key, std::string& failure) {
    // Every version goes, not only the newest: on a versioned (locked) bucket a plain DELETE would
    // just lay a delete marker over a copy that still takes space and still counts as kept.
    std::vector<s3::ObjectVersion> versions;
    const bool listed = everyPage(
        "versions", key, nullptr,
        [&](const std::string& body) -> std::optional<s3::Markers> {
            const auto parsed = s3::parseVersionList(body);
            if (!parsed) return std::nullopt;
            for (const auto& v : parsed->versions)
                if (v.key == key) versions.push_back(v);
            return s3::Markers{parsed->truncated, parsed->nextKeyMarker, parsed->nextVersionIdMarker};
        },
        failure);
    if (!listed) return RemoveOutcome::Failed;
    RemoveOutcome outcome = RemoveOutcome::Removed;
    for (const s3::ObjectVersion& v : versions) {
        Request r;
        r.method = "DELETE";
        r.url = url(key, "versionId=" + s3::encodeQuery(v.versionId));
        const Reply reply = transfer_->perform(r);
        if (reply) continue;
        failure = reply.failure;
        const std::string code = s3::errorCode(reply.body);
        // What S3 says of a version whose lock has not run out; other refusals are failures.
        if (reply.status == 403 && (code == "AccessDenied" || code == "ObjectLocked")) {
            outcome = RemoveOutcome::Locked;
        } else {
            return RemoveOutcome::Failed;
        }
    }
    return outcome;
}

RemoveOutcome S3Place::remove(const std::string& folder, const std::string& name, std::string& failure) {
    return removeKey(s3::objectKey(config_.prefix, folder, name), failure);
}

PlaceResult S3Place::setAside(const std::string& folder, const std::string& name) {
    std::string failure;
    if (removeKey(s3::objectKey(config_.prefix, folder, name), failure) == RemoveOutcome::Removed) return {};
    return {failure};
}

void S3Place::cleanUp(const std::string& folder, const std::vector<std::string>& owed) {
    const std::string start = config_.prefix + folder + "/";
    std::string failure;
    const std::optional<std::vector<s3::PendingUpload>> pending = pendingUploads(start, nullptr, failure);
    if (!pending) return;  // the next clean-up tries again
    for (const s3::PendingUpload& u : *pending) {
        if (!u.key.starts_with(start)) continue;
        const std::string name = u.key.substr(start.size());
        if (std::find(owed.begin(), owed.end(), name) != owed.end()) continue;
        Request abort;
        abort.method = "DELETE";
        abort.url = url(u.key, "uploadId=" + s3::encodeQuery(u.uploadId));
        transfer_->perform(abort);
    }
}

std::vector<TrialStep> S3Place::trial() {
    const std::string key = config_.prefix + kTrialName;
    const std::string text = "ZEL Yedek deneme " + std::to_string(config_.now()) + "\n";
    std::vector<TrialStep> steps;

    Request put;
    put.method = "PUT";
    put.url = url(key);
    put.headers = {md5Header(md5Bytes(text)), "Content-Type: text/plain"};
    put.body.text = text;
    steps.push_back({"Yazma", transfer_->perform(put).failure});
    if (!steps.back().failure.empty()) return steps;

    Request get;
    get.url = url(key);
    const Reply read = transfer_->perform(get);
    steps.push_back({"Okuma", read ? (read.body == text ? "" : "okunan yazılandan farklı") : read.failure});
    if (!steps.back().failure.empty()) return steps;

    std::string failure;
    removeKey(key, failure);
    steps.push_back({"Silme", failure});
    return steps;
}

}  // namespace zel
