#include "remote/s3_place.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <random>
#include <thread>

#include "engine/archive_check.h"
#include "engine/backup_rules.h"
#include "engine/source_listing.h"
#include "platform/files/native_file_system.h"
#include "remote/copier.h"
#include "support/core/drive_fixture.h"
#include "support/core/fake_clock.h"
#include "support/core/temp_dir.h"
#include "support/core/zip_writer.h"
#include "text/md5.h"

extern char** environ;

namespace zel::test {
namespace {

using namespace std::chrono_literals;
constexpr std::uint64_t kMb = 1 << 20;
const std::string kScripts = ZEL_TEST_SOURCE_DIR "/support/s3/";

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

// One of the Python helpers beside moto.sh, on a free loopback port (it writes DIR/port), for as
// long as this object lives.
struct Helper {
    explicit Helper(const std::string& script, std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"/usr/bin/python3", kScripts + script});
        args.insert(args.end(), {"--dir", dir.str()});
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;  // nothing of it on the test's output, which a pipe may read
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&quiet, 1, 2);
        if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ) != 0) pid = 0;
        posix_spawn_file_actions_destroy(&quiet);
        for (int i = 0; i < 100 && pid && !std::filesystem::exists(dir / "port"); ++i)
            std::this_thread::sleep_for(50ms);
    }
    ~Helper() {
        if (pid) ::kill(pid, SIGTERM), ::waitpid(pid, nullptr, 0);
    }
    int port() const { return std::filesystem::exists(dir / "port") ? std::stoi(readFile(dir / "port")) : 1; }

    TempDir dir;
    pid_t pid = 0;
};

// What the store holds, asked for around the place: status, headers and body of one signed request.
struct Raw {
    long status = 0;
    std::string headers, body;
};

class S3PlaceTest : public ::testing::Test {
protected:
    // One moto_server for the suite (tests/support/s3/moto.sh), started by its first test: a missing
    // moto fails each test, where a failed SetUpTestSuite would only skip them.
    void SetUp() override {
        if (!dir_) {
            dir_ = new TempDir;
            const std::string start =
                "bash " + kScripts + "moto.sh start '" + (dir_->path() / "moto").string() + "'";
            started_ = std::system(start.c_str()) == 0;
        }
        ASSERT_TRUE(started_) << "moto.sh could not start moto_server";
    }
    static void TearDownTestSuite() {
        if (!dir_) return;
        std::system(("bash " + kScripts + "moto.sh stop '" + (dir_->path() / "moto").string() + "'").c_str());
        delete dir_;
        dir_ = nullptr;
    }
    static std::string said(const std::string& file) {
        std::string s = readFile(dir_->path() / "moto" / file);
        while (!s.empty() && s.back() == '\n') s.pop_back();
        return s;
    }
    static std::string endpoint(int port = 0) {
        return "http://127.0.0.1:" + (port ? std::to_string(port) : said("port"));
    }
    static S3Config config(const std::string& bucket, const std::string& prefix = "ofis/") {
        S3Config c;
        c.endpoint = endpoint();
        c.region = "us-east-1";
        c.bucket = bucket;
        c.prefix = prefix;
        c.keyId = said("key");
        c.secret = said("secret");
        c.partSize = 5 * kMb;  // S3's least part
        c.now = [] { return std::int64_t{1765018800}; };
        return c;
    }
    static Raw raw(const std::string& method, const std::string& path) {
        Raw r;
        CURL* c = curl_easy_init();
        const std::string url = endpoint() + path, key = said("key"), secret = said("secret");
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_AWS_SIGV4, "aws:amz:us-east-1:s3");
        curl_easy_setopt(c, CURLOPT_USERNAME, key.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, secret.c_str());
        curl_slist* h = curl_slist_append(nullptr, "x-amz-content-sha256: UNSIGNED-PAYLOAD");
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, h);
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
        if (method == "HEAD") curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        if (method == "POST") curl_easy_setopt(c, CURLOPT_POSTFIELDS, "");
        const auto keep = +[](char* d, std::size_t s, std::size_t n, void* out) {
            static_cast<std::string*>(out)->append(d, s * n);
            return s * n;
        };
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, keep);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, &r.body);
        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, keep);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, &r.headers);
        curl_easy_perform(c);
        curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &r.status);
        curl_slist_free_all(h);
        curl_easy_cleanup(c);
        return r;
    }
    static std::vector<std::string> names(S3Place& place, const std::string& folder) {
        std::string failure;
        const auto items = place.list(folder, failure);
        EXPECT_TRUE(items) << failure;
        std::vector<std::string> all;
        for (const PlaceItem& i : items.value_or(std::vector<PlaceItem>{})) all.push_back(i.name);
        return all;
    }

    static TempDir* dir_;
    static bool started_;
    std::atomic<bool> stop_{false};
};
TempDir* S3PlaceTest::dir_ = nullptr;
bool S3PlaceTest::started_ = false;

TEST_F(S3PlaceTest, APutIsProvenListedAndRemoved) {
    auto c = config("yedek");
    c.listPageSize = 2;  // five names: three pages
    S3Place place(c);
    EXPECT_EQ(place.describe(), "s3://yedek/ofis/ (127.0.0.1:" + said("port") + ")");
    StringReader local(randomBytes(300000, 1));
    std::string failure;
    for (const char* name : {"a.zip", "b c.zip", "d.zip", "e.zip", "f.zip"}) {
        const auto item = place.put("c_tarvel", name, local, stop_, failure);
        ASSERT_TRUE(item) << failure;
        EXPECT_EQ(*item, (PlaceItem{name, 300000, toHex(md5Bytes(local.bytes))}));
    }
    // Names of another folder, or deeper, are not this folder's.
    ASSERT_TRUE(place.put("baska", "x.zip", local, stop_, failure)) << failure;
    EXPECT_EQ(raw("PUT", "/yedek/ofis/c_tarvel/alt/y.zip").status, 200);
    EXPECT_EQ(names(place, "c_tarvel"),
              (std::vector<std::string>{"a.zip", "b c.zip", "d.zip", "e.zip", "f.zip"}));
    EXPECT_TRUE(names(place, "yok").empty());

    // The proof compares size and checksum with the local archive.
    EXPECT_TRUE(place.prove("c_tarvel", "a.zip", local, stop_));
    StringReader changed(local.bytes);
    changed.bytes[1000] ^= 1;
    EXPECT_EQ(place.prove("c_tarvel", "a.zip", changed, stop_).failure.substr(0, 10), "ETag farkl");
    StringReader longer(local.bytes + "x");
    EXPECT_EQ(place.prove("c_tarvel", "a.zip", longer, stop_).failure, "boyut farklı: 300000 ≠ 300001");
    EXPECT_EQ(place.prove("c_tarvel", "yok.zip", local, stop_).failure, "HTTP 404");

    EXPECT_EQ(place.remove("c_tarvel", "a.zip", failure), RemoveOutcome::Removed) << failure;
    EXPECT_TRUE(place.setAside("c_tarvel", "b c.zip"));
    EXPECT_EQ(names(place, "c_tarvel"), (std::vector<std::string>{"d.zip", "e.zip", "f.zip"}));
}

TEST_F(S3PlaceTest, RemovingOnAVersionedBucketLeavesNoVersionBehind) {
    S3Place place(config("surumlu"));
    std::string failure;
    for (unsigned seed : {1u, 2u}) {
        StringReader local(randomBytes(1000, seed));
        ASSERT_TRUE(place.put("c_tarvel", "a.zip", local, stop_, failure)) << failure;
    }
    EXPECT_EQ(place.remove("c_tarvel", "a.zip", failure), RemoveOutcome::Removed) << failure;
    const Raw versions = raw("GET", "/surumlu?prefix=ofis%2Fc_tarvel%2Fa.zip&versions=");
    EXPECT_EQ(versions.status, 200);
    EXPECT_EQ(versions.body.find("<Key>"), std::string::npos) << versions.body;
}

TEST_F(S3PlaceTest, ALargeArchiveGoesInPartsAndReadsBack) {
    S3Place place(config("yedek"));
    StringReader local(randomBytes(11 * kMb, 3));
    std::string failure;
    const auto item = place.put("c_buyuk", "buyuk.zip", local, stop_, failure);
    ASSERT_TRUE(item) << failure;
    EXPECT_EQ(item->stamp.substr(item->stamp.size() - 2), "-3");
    EXPECT_TRUE(place.prove("c_buyuk", "buyuk.zip", local, stop_));
    const auto there = place.open("c_buyuk", "buyuk.zip");
    ASSERT_TRUE(there);
    ASSERT_EQ(there->size(), local.size());
    std::string back(3 * kMb, '\0');
    ASSERT_EQ(there->readAt(9 * kMb, back.data(), back.size()), 2 * kMb);  // short only at the end
    EXPECT_EQ(back.substr(0, 2 * kMb), local.bytes.substr(9 * kMb));
    EXPECT_FALSE(place.open("c_buyuk", "yok.zip"));
}

TEST_F(S3PlaceTest, ACutUploadIsTakenUpAgainByTheNextPut) {
    // The line drops in the second part; the proxy then refuses every connection until told.
    const Helper proxy("cut_proxy.py", {"--target", said("port"), "--cut-after", std::to_string(7 * kMb)});
    const auto sent = [&] { return std::stoull(readFile(proxy.dir / "sent")); };

    auto c = config("yedek");
    c.endpoint = endpoint(proxy.port());
    S3Place place(c);
    StringReader local(randomBytes(11 * kMb, 4));
    std::string failure;
    EXPECT_FALSE(place.put("c_kesik", "kesik.zip", local, stop_, failure));
    EXPECT_NE(failure.find("parça 2"), std::string::npos) << failure;
    writeFile(proxy.dir / "up", "");
    EXPECT_TRUE(names(place, "c_kesik").empty());  // a cut put is never taken for a copy

    // A clean-up spares the upload of a name still owed, and ends all others in the folder only.
    ASSERT_EQ(raw("POST", "/yedek/ofis/c_kesik/eski.zip?uploads=").status, 200);
    ASSERT_EQ(raw("POST", "/yedek/ofis/baska/eski.zip?uploads=").status, 200);
    place.cleanUp("c_kesik", {"kesik.zip"});
    const std::string uploads = raw("GET", "/yedek?uploads=").body;
    EXPECT_NE(uploads.find("<Key>ofis/c_kesik/kesik.zip</Key>"), std::string::npos) << uploads;
    EXPECT_NE(uploads.find("<Key>ofis/baska/eski.zip</Key>"), std::string::npos) << uploads;
    EXPECT_EQ(uploads.find("<Key>ofis/c_kesik/eski.zip</Key>"), std::string::npos) << uploads;

    // Part 1 is not sent again: parts 2 and 3 (6 MB) and the small requests go through.
    const auto before = sent();
    const auto item = place.put("c_kesik", "kesik.zip", local, stop_, failure);
    ASSERT_TRUE(item) << failure;
    EXPECT_GT(sent() - before, 6 * kMb);
    EXPECT_LT(sent() - before, 6 * kMb + 100000);
    EXPECT_TRUE(place.prove("c_kesik", "kesik.zip", local, stop_));
    EXPECT_EQ(raw("GET", "/yedek?prefix=ofis%2Fc_kesik%2F&uploads=").body.find("<Upload>"),
              std::string::npos);
}

TEST_F(S3PlaceTest, AStopCutsASlowPutPromptly) {
    auto c = config("yedek");
    c.speedLimitKb = 100;
    S3Place place(c);
    StringReader local(randomBytes(3 * kMb, 5));
    std::thread stopper([&] {
        std::this_thread::sleep_for(500ms);
        stop_ = true;
    });
    const auto start = std::chrono::steady_clock::now();
    std::string failure;
    EXPECT_FALSE(place.put("c_yavas", "yavas.zip", local, stop_, failure));
    stopper.join();
    EXPECT_EQ(failure, "durduruldu");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

// Each lock mode on a copy sent whole (moto 5.2 drops the lock headers of CreateMultipartUpload).
TEST_F(S3PlaceTest, ALockedCopyCarriesItsDateAndCannotBeRemoved) {
    const std::int64_t now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const struct {
        LockMode mode;
        const char* header;
        std::size_t size;
    } cases[] = {{LockMode::Compliance, "COMPLIANCE", 2000}, {LockMode::Governance, "GOVERNANCE", 3000}};
    for (const auto& k : cases) {
        auto c = config("kilitli");
        c.lockDays = 10;
        c.lockMode = k.mode;
        c.now = [now] { return now; };  // moto lets a lock that ran out by its own clock go
        S3Place place(c);
        StringReader local(randomBytes(k.size, 6));
        std::string failure;
        ASSERT_TRUE(place.put(k.header, "a.zip", local, stop_, failure)) << failure;
        const Raw head = raw("HEAD", "/kilitli/ofis/" + std::string(k.header) + "/a.zip");
        EXPECT_NE(head.headers.find(std::string("x-amz-object-lock-mode: ") + k.header), std::string::npos)
            << head.headers;
        EXPECT_NE(head.headers.find("x-amz-object-lock-retain-until-date: " + s3::retainUntil(now, 10)),
                  std::string::npos)
            << head.headers;
        EXPECT_EQ(place.remove(k.header, "a.zip", failure), RemoveOutcome::Locked) << k.header;
        EXPECT_EQ(failure, "AccessDenied: Access Denied");
        EXPECT_EQ(names(place, k.header), std::vector<std::string>{"a.zip"});
    }
}

TEST_F(S3PlaceTest, AZipsEntriesAreReadThroughRangedGets) {
    TempDir work;
    writeFile(work / "veri/a.txt", "bir");
    writeFile(work / "veri/alt/b.txt", randomBytes(70000, 7));
    ASSERT_EQ(std::system(("cd '" + work.str() + "' && zip -qr arsiv.zip veri").c_str()), 0);
    StringReader local(readFile(work / "arsiv.zip"));
    S3Place place(config("yedek"));
    std::string failure;
    ASSERT_TRUE(place.put("c_zip", "arsiv.zip", local, stop_, failure)) << failure;
    const auto there = place.open("c_zip", "arsiv.zip");
    ASSERT_TRUE(there);
    const auto entries = archiveEntryNames(*there);
    ASSERT_TRUE(entries);
    EXPECT_EQ(*entries, (std::vector<std::string>{"veri/", "veri/a.txt", "veri/alt/", "veri/alt/b.txt"}));
}

// A broken or hostile server gets nothing past the bounds and no copy taken for proven.
TEST_F(S3PlaceTest, AHostileServerIsHeldToItsBounds) {
    const Helper hostile("hostile_server.py");
    auto c = config("yedek");
    c.endpoint = endpoint(hostile.port());
    S3Place place(c);
    std::string failure;
    EXPECT_FALSE(place.list("c", failure));
    EXPECT_EQ(failure, "sunucunun yanıtı çok büyük");
    const auto there = place.open("c", "a.zip");
    ASSERT_TRUE(there);
    char buffer[10];
    EXPECT_FALSE(there->readAt(0, buffer, sizeof buffer));  // 20 bytes for 10
    StringReader local(randomBytes(100, 9));
    EXPECT_FALSE(place.put("c", "a.zip", local, stop_, failure));
    EXPECT_EQ(failure, "ETag farklı: 0123456789abcdef0123456789abcdef ≠ " + toHex(md5Bytes(local.bytes)));
    EXPECT_EQ(place.remove("c", "a.zip", failure), RemoveOutcome::Failed);
    EXPECT_EQ(failure, "sürümler okunamadı");
}

// "Deneme": each step as it went; a wrong secret stops it at the first, in the server's words.
TEST_F(S3PlaceTest, TrialStepsAndAWrongSecretThatNeverShows) {
    S3Place good(config("yedek", "deneme/"));
    const auto steps = good.trial();
    ASSERT_EQ(steps.size(), 3u);
    for (const auto& [step, what] : {std::pair{0, "Yazma"}, {1, "Okuma"}, {2, "Silme"}}) {
        EXPECT_EQ(steps[step].what, what);
        EXPECT_EQ(steps[step].failure, "") << what;
    }
    EXPECT_EQ(raw("GET", "/yedek?list-type=2&prefix=deneme%2F").body.find("<Key>"), std::string::npos);

    auto c = config("yedek");
    c.secret = "Yanlis/Gizli+Anahtar=" + said("secret");
    S3Place wrong(c);
    const auto failed = wrong.trial();
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].what, "Yazma");
    std::string failure;
    EXPECT_FALSE(wrong.list("c_tarvel", failure));
    StringReader local(randomBytes(1000, 8));
    std::string putFailure;
    EXPECT_FALSE(wrong.put("c_tarvel", "a.zip", local, stop_, putFailure));
    for (const std::string& text : {failed[0].failure, failure, putFailure}) {
        EXPECT_EQ(text.substr(0, 22), "SignatureDoesNotMatch:") << text;
        EXPECT_EQ(text.find("Gizli"), std::string::npos) << text;
        EXPECT_EQ(text.find(said("secret")), std::string::npos) << text;
    }
    EXPECT_EQ(wrong.describe().find("Gizli"), std::string::npos);
}

// The copier over the store, two pairs in one target folder: once a newer run's copies are proven
// there, each pair keeps its newest, the pair of a copy gone here read from its entries there; a
// locked bucket keeps its copies without calling that a failure.
TEST_F(S3PlaceTest, TheCopierKeepsEachPairsNewestThere) {
    const struct {
        const char* bucket;
        int lockDays;
        std::size_t keptThere;
    } cases[] = {{"yedek", 0, 2}, {"kilitli", 1, 4}};
    for (const auto& k : cases) {
        TempDrives drives;
        NativeFileSystem files{PathMap{drives.root().string()}};
        FakeClock clock({2026, 12, 6, 5, 2, 0});
        const std::string target = drives.text('c', "yedek");
        const std::vector<CopyPair> pairs{{0, drives.text('c', "a"), target}, {1, drives.text('c', "b"), target}};
        auto make = [&](int pair, int day) {
            const std::string name = archiveName(target, {2026, 12, day, 5, pair, 0});
            const std::string entry = zipEntryPrefix(pairs[pair].source, nativeZipNaming()) + "/x.txt";
            writeFile(drives.drive('c') / "yedek" / name, zipArchive({{entry, name + randomBytes(5000, day)}}));
            return name;
        };
        auto c = config(k.bucket, "kopya/");
        c.lockDays = k.lockDays;
        c.now = [] { return std::int64_t{std::time(nullptr)}; };  // moto's lock ends by its own clock
        S3Place place(c);
        std::mutex mutex;
        std::condition_variable told;
        std::vector<CopyReport> reports;
        RemoteCopier copier(files, clock, [&](CopyReport r) {
            std::lock_guard lock(mutex);
            reports.push_back(std::move(r));
            told.notify_all();
        });
        copier.setPlace(std::shared_ptr<SecondPlace>(&place, [](SecondPlace*) {}));
        auto pass = [&] {
            std::unique_lock lock(mutex);
            const std::size_t before = reports.size();
            copier.request({pairs, 0, 1, true, true});
            EXPECT_TRUE(told.wait_for(lock, 60s, [&] { return reports.size() > before; })) << k.bucket;
            return reports.empty() ? CopyReport{} : reports.back();
        };
        const std::string folder = placeFolderName(target, false);
        const std::vector<std::string> old{make(0, 6), make(1, 6)};
        EXPECT_EQ(pass().proven.size(), 2u) << k.bucket;
        clock.set({2026, 12, 7, 5, 2, 0});
        const std::vector<std::string> newest{make(0, 7), make(1, 7)};
        for (const std::string& name : old) std::filesystem::remove(drives.drive('c') / "yedek" / name);
        const CopyReport second = pass();
        EXPECT_EQ(second.proven.size(), 2u) << k.bucket;
        EXPECT_TRUE(second.failures.empty()) << k.bucket;
        for (const std::string& line : second.lines) EXPECT_EQ(line.find("silinemedi"), std::string::npos) << line;
        std::vector<std::string> there = names(place, folder);
        EXPECT_EQ(there.size(), k.keptThere) << k.bucket;
        for (const std::string& name : newest)
            EXPECT_NE(std::find(there.begin(), there.end(), name), there.end()) << k.bucket << " " << name;
    }
}

}  // namespace
}  // namespace zel::test
