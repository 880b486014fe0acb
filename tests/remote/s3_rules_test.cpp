#include "remote/s3_rules.h"

#include <gtest/gtest.h>

#include "text/md5.h"

namespace zel::test {
namespace {

using namespace zel::s3;

TEST(S3Rules, KeysAndUrlsAreEncodedAsS3SignsThem) {
    const struct {
        std::string_view key, path, query;
    } cases[] = {
        {"ofis/yedek/a-b_c.~1.zip", "ofis/yedek/a-b_c.~1.zip", "ofis%2Fyedek%2Fa-b_c.~1.zip"},
        {"a b+c=d&e", "a%20b%2Bc%3Dd%26e", "a%20b%2Bc%3Dd%26e"},
        {"şube/ü", "%C5%9Fube/%C3%BC", "%C5%9Fube%2F%C3%BC"},
        {"%?#*", "%25%3F%23%2A", "%25%3F%23%2A"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(encodePath(c.key), c.path) << c.key;
        EXPECT_EQ(encodeQuery(c.key), c.query) << c.key;
    }
    EXPECT_EQ(objectKey("ofis/", "c_tarvel", "x.zip"), "ofis/c_tarvel/x.zip");
    EXPECT_EQ(objectKey("", "c_tarvel", "x.zip"), "c_tarvel/x.zip");
    EXPECT_EQ(objectUrl("https://s3.example.com/", "kova", "a b/x.zip"),
              "https://s3.example.com/kova/a%20b/x.zip");
}

TEST(S3Rules, EntitiesAreDecodedAndStrangeOnesKept) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a&amp;b&lt;c&gt;d&quot;e&apos;f", "a&b<c>d\"e'f"},
        {"&#65;&#x42;&#xfc;&#350;&#x1F600;", "AB\xC3\xBC\xC5\x9E\xF0\x9F\x98\x80"},
        {"&bogus; &#; &#xD800; &#99999999999; & &amp", "&bogus; &#; &#xD800; &#99999999999; & &amp"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(xmlDecode(in), out) << in;
}

TEST(S3Rules, ListingsAreReadAndPagesFollowed) {
    const auto page = parseObjectList(
        R"(<?xml version="1.0"?><ListBucketResult xmlns="http://s3.amazonaws.com/doc/2006-03-01/">)"
        R"(<Name>kova</Name><KeyMarker/><IsTruncated>true</IsTruncated><NextContinuationToken>t&amp;1</NextContinuationToken>)"
        R"(<Contents><Key>p/a&amp;b.zip</Key><Size>12</Size><ETag>&quot;abc&quot;</ETag><Owner><ID>x</ID></Owner></Contents>)"
        R"(<Contents><Key>p/c.zip</Key><ETag>"def-2"</ETag><Size>7340032</Size></Contents></ListBucketResult>)");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->objects,
              (std::vector<ListedObject>{{"p/a&b.zip", 12, "abc"}, {"p/c.zip", 7340032, "def-2"}}));
    EXPECT_TRUE(page->truncated);
    EXPECT_EQ(page->nextToken, "t&1");

    const auto versions = parseVersionList(
        "<ListVersionsResult><IsTruncated>false</IsTruncated><Version><Key>k</Key><VersionId>v1</VersionId>"
        "</Version><DeleteMarker><Key>k</Key><VersionId>v2</VersionId></DeleteMarker><Version><Key>k2</Key>"
        "<VersionId>null</VersionId></Version></ListVersionsResult>");
    ASSERT_TRUE(versions);
    EXPECT_EQ(versions->versions,
              (std::vector<ObjectVersion>{{"k", "v1", false}, {"k2", "null", false}, {"k", "v2", true}}));

    const auto uploads = parseUploadList(
        "<ListMultipartUploadsResult><KeyMarker></KeyMarker><IsTruncated>false</IsTruncated><Upload><Key>k</"
        "Key>"
        "<UploadId>u1</UploadId><Initiated>2026-12-09T10:00:00.000Z</Initiated></Upload></"
        "ListMultipartUploadsResult>");
    ASSERT_TRUE(uploads);
    EXPECT_EQ(uploads->uploads, (std::vector<PendingUpload>{{"k", "u1", "2026-12-09T10:00:00.000Z"}}));

    const auto parts = parsePartList(
        "<ListPartsResult><PartNumberMarker>0</PartNumberMarker><IsTruncated>true</IsTruncated>"
        "<NextPartNumberMarker>2</NextPartNumberMarker><Part><PartNumber>1</PartNumber><ETag>\"aa\"</ETag>"
        "<Size>5242880</Size></Part><Part><PartNumber>2</PartNumber><ETag>&quot;bb&quot;</ETag><Size>1</"
        "Size></Part>"
        "</ListPartsResult>");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->parts, (std::vector<UploadedPart>{{1, "aa", 5242880}, {2, "bb", 1}}));
    EXPECT_EQ(parts->nextMarker, "2");

    EXPECT_EQ(parseUploadId("<InitiateMultipartUploadResult><Bucket>b</Bucket><UploadId>x/y+z</UploadId>"
                            "</InitiateMultipartUploadResult>"),
              "x/y+z");
}

// A stranger's reply never crashes the reader nor passes for what it is not.
TEST(S3Rules, MalformedRepliesAreRefused) {
    const std::string_view bad[] = {
        "",
        "<Error><Code>AccessDenied</Code></Error>",
        "<ListBucketResult><Contents><Key>a</Key><Size>x1</Size></Contents></ListBucketResult>",
        "<ListBucketResult><Contents><Key>a</Key></Contents></ListBucketResult>",
        "<ListBucketResult><IsTruncated>true</IsTruncated></ListBucketResult>",
        "<ListBucketResult><Contents><Key>a</Key><Size>18446744073709551616</Size></Contents></"
        "ListBucketResult>",
    };
    for (const std::string_view xml : bad) EXPECT_FALSE(parseObjectList(xml)) << xml;
    EXPECT_FALSE(parsePartList(
        "<ListPartsResult><Part><PartNumber>0</PartNumber><Size>1</Size></Part></ListPartsResult>"));
    EXPECT_FALSE(parsePartList("<ListPartsResult><Part><PartNumber>10001</PartNumber><Size>1</Size></Part>"));
    EXPECT_FALSE(
        parseVersionList("<ListVersionsResult><Version><Key>k</Key></Version></ListVersionsResult>"));
    EXPECT_FALSE(
        parseUploadList("<ListMultipartUploadsResult><Upload><Key>k</Key></ListMultipartUploadsResult>"));
    EXPECT_FALSE(parseUploadId(
        "<InitiateMultipartUploadResult><UploadId></UploadId></InitiateMultipartUploadResult>"));
    // Cut in the middle: a list that lacks its end may lack names too.
    EXPECT_FALSE(
        parseObjectList("<ListBucketResult><Contents><Key>a</Key><Size>1</Size></Contents><Contents><Key>b"));
}

TEST(S3Rules, ErrorsReadAsOneBoundedLine) {
    const struct {
        std::string xml;
        long status;
        std::string text;
    } cases[] = {
        {"<Error><Code>AccessDenied</Code><Message>Access &amp; Denied</Message></Error>", 403,
         "AccessDenied: Access & Denied"},
        {"<Error><Code>NoSuchKey</Code></Error>", 404, "NoSuchKey"},
        {"<html>bad gateway</html>", 502, "HTTP 502"},
        {"", 404, "HTTP 404"},
        {"<Error><Code>X</Code><Message>a\r\nb\tc</Message></Error>", 400, "X: a  b c"},
        {"<Error><Code>X</Code><Message>" + std::string(1000, 'm') + "</Message></Error>", 400,
         "X: " + std::string(297, 'm') + "..."},
    };
    for (const auto& c : cases) EXPECT_EQ(errorText(c.xml, c.status), c.text) << c.xml;
    EXPECT_EQ(errorCode("<Error><Code>NoSuchUpload</Code></Error>"), "NoSuchUpload");
    EXPECT_EQ(errorCode("<CompleteMultipartUploadResult/>"), "");
}

TEST(S3Rules, LockDatesArePlainUtc) {
    const struct {
        std::int64_t now;
        int days;
        const char* until;
    } cases[] = {
        {0, 0, "1970-01-01T00:00:00Z"},
        {1765018800, 10, "2025-12-16T11:00:00Z"},
        {1709164800 - 1, 1, "2024-02-29T23:59:59Z"},  // through a leap day
        {1798675200, 36500, "2126-12-07T00:00:00Z"},
    };
    for (const auto& c : cases) EXPECT_EQ(retainUntil(c.now, c.days), c.until) << c.now << "+" << c.days;
}

TEST(S3Rules, PartsCoverTheArchiveWithinS3sLimits) {
    const std::uint64_t mb = 1 << 20;
    EXPECT_EQ(planParts(0, 64 * mb), (std::vector<PartRange>{{1, 0, 0}}));
    EXPECT_EQ(planParts(64 * mb, 64 * mb), (std::vector<PartRange>{{1, 0, 64 * mb}}));
    EXPECT_EQ(planParts(11 * mb, 5 * mb),
              (std::vector<PartRange>{{1, 0, 5 * mb}, {2, 5 * mb, 5 * mb}, {3, 10 * mb, mb}}));
    const auto huge = planParts(2000000 * mb, 64 * mb);  // ~2 TB: parts grow to stay within 10 000
    ASSERT_LE(huge.size(), static_cast<std::size_t>(kMaxParts));
    EXPECT_EQ(huge.back().offset + huge.back().length, 2000000 * mb);
    for (std::size_t i = 1; i < huge.size(); ++i)
        ASSERT_EQ(huge[i].offset, huge[i - 1].offset + huge[i - 1].length);
}

TEST(S3Rules, MultipartEtagAndCompletionBody) {
    // Two parts "a" and "b": the MD5 of their two binary MD5s.
    EXPECT_EQ(multipartEtag({md5Bytes("a"), md5Bytes("b")}),
              toHex(md5Bytes(md5Bytes("a") + md5Bytes("b"))) + "-2");
    EXPECT_EQ(completeBody({{1, "aa", 5}, {2, "bb", 1}}),
              "<CompleteMultipartUpload><Part><PartNumber>1</PartNumber><ETag>\"aa\"</ETag></Part>"
              "<Part><PartNumber>2</PartNumber><ETag>\"bb\"</ETag></Part></CompleteMultipartUpload>");
}

TEST(S3Rules, SecretsAreMaskedRawAndEncoded) {
    EXPECT_EQ(withoutSecret("a k/y+z b k%2Fy%2Bz c", "k/y+z"), "a *** b *** c");
    EXPECT_EQ(withoutSecret("nothing here", "k/y+z"), "nothing here");
    EXPECT_EQ(withoutSecret("kept", ""), "kept");
}

}  // namespace
}  // namespace zel::test
