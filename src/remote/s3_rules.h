#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The rules of talking to S3-compatible storage that need no network: keys, URLs, the replies'
// XML, the multipart plan and its ETag. Every reply is a stranger's text: sizes are bounded by
// the caller, and nothing here trusts a reply to be well formed.

namespace zel::s3 {

// S3's encoding of a key in a path: A-Z a-z 0-9 - _ . ~ and "/" stay, every other byte is %XX.
std::string encodePath(std::string_view key);
// The same for a query parameter's value, where "/" too becomes %2F.
std::string encodeQuery(std::string_view value);
// The object's path-style URL: <endpoint>/<bucket>/<key>; a "/" at the endpoint's end is dropped.
std::string objectUrl(std::string_view endpoint, std::string_view bucket, std::string_view key);
// Where a name of a folder of the place lies in the bucket: <prefix><folder>/<name>.
std::string objectKey(std::string_view prefix, std::string_view folder, std::string_view name);

// XML's five entities and numeric references (&#NN; &#xNN;) decoded; an unknown one stays as it is.
std::string xmlDecode(std::string_view text);

struct ListedObject {
    std::string key;
    std::uint64_t size = 0;
    std::string etag;  // without its quotes
    bool operator==(const ListedObject&) const = default;
};
struct ObjectPage {
    std::vector<ListedObject> objects;
    bool truncated = false;
    std::string nextToken;
};
// ListObjectsV2's reply; nothing when it is not one.
std::optional<ObjectPage> parseObjectList(std::string_view xml);

// Where a listing of versions or uploads goes on: after this key and id, when there is more.
struct Markers {
    bool more = false;
    std::string key;
    std::string id;
};

struct ObjectVersion {
    std::string key;
    std::string versionId;
    bool deleteMarker = false;
    bool operator==(const ObjectVersion&) const = default;
};
struct VersionPage {
    std::vector<ObjectVersion> versions;
    bool truncated = false;
    std::string nextKeyMarker;
    std::string nextVersionIdMarker;
};
// ListObjectVersions' reply, versions and delete markers alike.
std::optional<VersionPage> parseVersionList(std::string_view xml);

// InitiateMultipartUploadResult's UploadId.
std::optional<std::string> parseUploadId(std::string_view xml);

struct PendingUpload {
    std::string key;
    std::string uploadId;
    std::string initiated;  // ISO 8601, as the server wrote it
    bool operator==(const PendingUpload&) const = default;
};
struct UploadPage {
    std::vector<PendingUpload> uploads;
    bool truncated = false;
    std::string nextKeyMarker;
    std::string nextUploadIdMarker;
};
// ListMultipartUploads' reply.
std::optional<UploadPage> parseUploadList(std::string_view xml);

struct UploadedPart {
    int number = 0;
    std::string etag;  // without its quotes
    std::uint64_t size = 0;
    bool operator==(const UploadedPart&) const = default;
};
struct PartPage {
    std::vector<UploadedPart> parts;
    bool truncated = false;
    std::string nextMarker;
};
// ListParts' reply.
std::optional<PartPage> parsePartList(std::string_view xml);

// What a refusal says, for the log: "<Code>: <Message>" from an S3 error document, else "HTTP
// <status>"; one line, bounded.
std::string errorText(std::string_view xml, long status);
// The error document's Code, empty when there is none.
std::string errorCode(std::string_view xml);

// CompleteMultipartUpload's body: each part's number and ETag, in order.
std::string completeBody(const std::vector<UploadedPart>& parts);

// The Object Lock date `days` after `unixSeconds`, as S3 takes it: "2026-12-19T11:00:00Z".
std::string retainUntil(std::int64_t unixSeconds, int days);

// One part of a multipart upload: numbered from 1, its bytes in the archive.
struct PartRange {
    int number = 0;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    bool operator==(const PartRange&) const = default;
};
inline constexpr std::uint64_t kPartSize = 64ull << 20;
inline constexpr int kMaxParts = 10000;  // S3's limit
// How an archive of `size` bytes is sent: one PUT (a single part) up to `partSize`, above it parts
// of `partSize`, grown where needed so that no archive needs more than S3's 10 000 parts.
std::vector<PartRange> planParts(std::uint64_t size, std::uint64_t partSize);
// The ETag S3 gives a multipart object: the MD5 of the parts' binary MD5s, in hex, "-<count>".
std::string multipartEtag(const std::vector<std::string>& partMd5s);

// A text with every occurrence of `secret` (raw or percent-encoded) masked: whatever a server or libcurl
// echoes, the log never shows it.
std::string withoutSecret(std::string text, std::string_view secret);

}  // namespace zel::s3
