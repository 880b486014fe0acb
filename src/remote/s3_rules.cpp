#include "remote/s3_rules.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>

#include "text/md5.h"
#include "text/utf8.h"

namespace zel::s3 {
namespace {

constexpr std::size_t kMaxItems = 10000;    // more than any page S3 sends (1000 at most)
constexpr std::size_t kMaxErrorText = 300;  // one line of the log

bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == '~';
}

std::string encode(std::string_view text, bool keepSlash) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (unreserved(c) || (keepSlash && c == '/')) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// The inner texts of every <tag>...</tag> in `xml`, in order (S3's replies never nest an element in
// one of its own name); nothing when one is left open, as in a cut reply.
std::optional<std::vector<std::string_view>> elements(std::string_view xml, std::string_view tag) {
    std::vector<std::string_view> found;
    const std::string open = "<" + std::string(tag);
    const std::string close = "</" + std::string(tag) + ">";
    std::size_t at = 0;
    while (found.size() < kMaxItems) {
        at = xml.find(open, at);
        if (at == std::string_view::npos) break;
        const std::size_t after = at + open.size();
        if (after >= xml.size()) break;
        const char next = xml[after];
        if (next != '>' && next != ' ' && next != '/' && next != '\t' && next != '\r' && next != '\n') {
            at = after;  // a longer name: <KeyMarker> is no <Key>
            continue;
        }
        const std::size_t end = xml.find('>', after);
        if (end == std::string_view::npos) return std::nullopt;
        if (xml[end - 1] == '/') {  // <Tag/>
            found.emplace_back();
            at = end + 1;
            continue;
        }
        const std::size_t closing = xml.find(close, end + 1);
        if (closing == std::string_view::npos) return std::nullopt;
        found.push_back(xml.substr(end + 1, closing - end - 1));
        at = closing + close.size();
    }
    return found;
}

std::optional<std::string> text(std::string_view xml, std::string_view tag) {
    const auto all = elements(xml, tag);
    if (!all || all->empty()) return std::nullopt;
    return xmlDecode(all->front());
}

std::string textOr(std::string_view xml, std::string_view tag) {
    return text(xml, tag).value_or("");
}

std::optional<std::uint64_t> number(std::string_view xml, std::string_view tag) {
    const std::string t = textOr(xml, tag);
    std::uint64_t n = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), n);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
    return n;
}

bool truncated(std::string_view xml) {
    return textOr(xml, "IsTruncated") == "true";
}

std::string unquoted(std::string etag) {
    if (etag.size() >= 2 && etag.front() == '"' && etag.back() == '"') etag = etag.substr(1, etag.size() - 2);
    return etag;
}

// A reply is the one asked for when its root element is there; an error document or a proxy's
// page is not.
bool hasRoot(std::string_view xml, std::string_view root) {
    const auto all = elements(xml, root);
    return all && !all->empty();
}

}  // namespace

std::string encodePath(std::string_view key) {
    return encode(key, true);
}
std::string encodeQuery(std::string_view value) {
    return encode(value, false);
}

std::string objectUrl(std::string_view endpoint, std::string_view bucket, std::string_view key) {
    while (!endpoint.empty() && endpoint.back() == '/') endpoint.remove_suffix(1);
    return std::string(endpoint) + "/" + encodePath(bucket) + "/" + encodePath(key);
}

std::string objectKey(std::string_view prefix, std::string_view folder, std::string_view name) {
    return std::string(prefix) + std::string(folder) + "/" + std::string(name);
}

std::string xmlDecode(std::string_view t) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    out.reserve(t.size());
    for (std::size_t i = 0; i < t.size();) {
        if (t[i] != '&') {
            out += t[i++];
            continue;
        }
        bool done = false;
        for (const auto& [name, c] : kNamed) {
            if (t.substr(i, name.size()) == name) {
                out += c;
                i += name.size();
                done = true;
                break;
            }
        }
        if (done) continue;
        const std::size_t semi = t.find(';', i);
        if (t.substr(i, 2) == "&#" && semi != std::string_view::npos && semi - i <= 10) {
            const bool hex = i + 2 < t.size() && (t[i + 2] == 'x' || t[i + 2] == 'X');
            const char* from = t.data() + i + (hex ? 3 : 2);
            std::uint32_t cp = 0;
            const auto [end, ec] = std::from_chars(from, t.data() + semi, cp, hex ? 16 : 10);
            if (ec == std::errc() && end == t.data() + semi && end != from && cp > 0 && cp <= 0x10FFFF &&
                (cp < 0xD800 || cp > 0xDFFF)) {
                // As UTF-8, the program's one encoding.
                appendUtf8(out, cp);
                i = semi + 1;
                continue;
            }
        }
        out += t[i++];
    }
    return out;
}

std::optional<ObjectPage> parseObjectList(std::string_view xml) {
    if (!hasRoot(xml, "ListBucketResult")) return std::nullopt;
    ObjectPage page;
    const auto contents = elements(xml, "Contents");
    if (!contents) return std::nullopt;
    for (const std::string_view item : *contents) {
        const auto key = text(item, "Key");
        const auto size = number(item, "Size");
        if (!key || !size) return std::nullopt;
        page.objects.push_back({*key, *size, unquoted(textOr(item, "ETag"))});
    }
    page.truncated = truncated(xml);
    page.nextToken = textOr(xml, "NextContinuationToken");
    // A truncated page without the way on would list the same page for ever.
    if (page.truncated && page.nextToken.empty()) return std::nullopt;
    return page;
}

std::optional<VersionPage> parseVersionList(std::string_view xml) {
    if (!hasRoot(xml, "ListVersionsResult")) return std::nullopt;
    VersionPage page;
    for (const bool marker : {false, true}) {
        const auto all = elements(xml, marker ? "DeleteMarker" : "Version");
        if (!all) return std::nullopt;
        for (const std::string_view item : *all) {
            const auto key = text(item, "Key");
            const auto id = text(item, "VersionId");
            if (!key || !id) return std::nullopt;
            page.versions.push_back({*key, *id, marker});
        }
    }
    page.truncated = truncated(xml);
    page.nextKeyMarker = textOr(xml, "NextKeyMarker");
    page.nextVersionIdMarker = textOr(xml, "NextVersionIdMarker");
    if (page.truncated && page.nextKeyMarker.empty()) return std::nullopt;
    return page;
}

std::optional<std::string> parseUploadId(std::string_view xml) {
    if (!hasRoot(xml, "InitiateMultipartUploadResult")) return std::nullopt;
    auto id = text(xml, "UploadId");
    if (!id || id->empty()) return std::nullopt;
    return id;
}

std::optional<UploadPage> parseUploadList(std::string_view xml) {
    if (!hasRoot(xml, "ListMultipartUploadsResult")) return std::nullopt;
    UploadPage page;
    const auto uploads = elements(xml, "Upload");
    if (!uploads) return std::nullopt;
    for (const std::string_view item : *uploads) {
        const auto key = text(item, "Key");
        const auto id = text(item, "UploadId");
        if (!key || !id) return std::nullopt;
        page.uploads.push_back({*key, *id, textOr(item, "Initiated")});
    }
    page.truncated = truncated(xml);
    page.nextKeyMarker = textOr(xml, "NextKeyMarker");
    page.nextUploadIdMarker = textOr(xml, "NextUploadIdMarker");
    if (page.truncated && page.nextKeyMarker.empty()) return std::nullopt;
    return page;
}

std::optional<PartPage> parsePartList(std::string_view xml) {
    // moto names its root ListPartsResponse.
    if (!hasRoot(xml, "ListPartsResult") && !hasRoot(xml, "ListPartsResponse")) return std::nullopt;
    PartPage page;
    const auto parts = elements(xml, "Part");
    if (!parts) return std::nullopt;
    for (const std::string_view item : *parts) {
        const auto n = number(item, "PartNumber");
        const auto size = number(item, "Size");
        if (!n || !size || *n < 1 || *n > kMaxParts) return std::nullopt;
        page.parts.push_back({static_cast<int>(*n), unquoted(textOr(item, "ETag")), *size});
    }
    page.truncated = truncated(xml);
    page.nextMarker = textOr(xml, "NextPartNumberMarker");
    if (page.truncated && page.nextMarker.empty()) return std::nullopt;
    return page;
}

std::string errorCode(std::string_view xml) {
    const auto error = elements(xml, "Error");
    return !error || error->empty() ? std::string() : textOr(error->front(), "Code");
}

std::string errorText(std::string_view xml, long status) {
    const auto error = elements(xml, "Error");
    std::string said;
    if (error && !error->empty()) {
        const std::string code = textOr(error->front(), "Code");
        const std::string message = textOr(error->front(), "Message");
        said = code.empty() ? message : message.empty() ? code : code + ": " + message;
    }
    if (said.empty()) return "HTTP " + std::to_string(status);
    // One line of the log: no control character a server could break it with.
    std::replace_if(
        said.begin(), said.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    if (said.size() > kMaxErrorText) said = said.substr(0, kMaxErrorText) + "...";
    return said;
}

std::string completeBody(const std::vector<UploadedPart>& parts) {
    std::string body = "<CompleteMultipartUpload>";
    for (const UploadedPart& p : parts)
        body += "<Part><PartNumber>" + std::to_string(p.number) + "</PartNumber><ETag>\"" + p.etag +
                "\"</ETag></Part>";
    return body + "</CompleteMultipartUpload>";
}

std::string retainUntil(std::int64_t unixSeconds, int days) {
    using namespace std::chrono;
    const sys_seconds at{seconds{unixSeconds} + days * 24h};
    const sys_days day = floor<std::chrono::days>(at);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> time{at - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(ymd.year()),
                  static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                  static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()));
    return text;
}

std::vector<PartRange> planParts(std::uint64_t size, std::uint64_t partSize) {
    if (partSize == 0) partSize = kPartSize;
    if (size <= partSize) return {{1, 0, size}};
    partSize = std::max(partSize, (size + kMaxParts - 1) / kMaxParts);
    std::vector<PartRange> parts;
    for (std::uint64_t at = 0; at < size; at += partSize)
        parts.push_back({static_cast<int>(parts.size() + 1), at, std::min(partSize, size - at)});
    return parts;
}

std::string multipartEtag(const std::vector<std::string>& partMd5s) {
    Md5 md5;
    for (const std::string& m : partMd5s) md5.update(m);
    const auto digest = md5.final();
    return toHex(std::string(digest.begin(), digest.end())) + "-" + std::to_string(partMd5s.size());
}

std::string withoutSecret(std::string text, std::string_view secret) {
    if (secret.empty()) return text;
    // Raw, and as a URL would carry it.
    for (const std::string& form : {std::string(secret), encodeQuery(secret)})
        for (std::size_t at = text.find(form); at != std::string::npos; at = text.find(form, at + 3))
            text.replace(at, form.size(), "***");
    return text;
}

}  // namespace zel::s3
