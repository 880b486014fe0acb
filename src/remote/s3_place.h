#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "remote/s3_rules.h"
#include "remote/second_place.h"
#include "settings/remote_settings.h"

namespace zel {

// Where an S3 place is and how it is reached; the secret as plain text, never logged.
struct S3Config {
    std::string endpoint;  // "https://s3.eu-central-1.amazonaws.com", "http://127.0.0.1:9000"
    std::string region;
    std::string bucket;
    std::string prefix;  // "" or "ofis/"
    std::string keyId;
    std::string secret;
    int speedLimitKb = 0;  // KB/s while sending; 0: no limit
    int lockDays = 0;      // 0: no Object Lock headers
    LockMode lockMode = LockMode::Compliance;
    std::string caFile;  // trusted instead of the system's CAs when given
    // Archives above it go in parts of this size.
    std::uint64_t partSize = s3::kPartSize;
    int listPageSize = 1000;  // max-keys of one listing page
    // Unix seconds now, for the lock's date.
    std::function<std::int64_t()> now;
};

class S3Transfer;

// The second place in a bucket of S3-compatible storage, reached path-style over libcurl and signed
// with libcurl's own SigV4.
class S3Place final : public SecondPlace {
public:
    explicit S3Place(S3Config config);
    ~S3Place() override;

    std::string describe() const override;
    std::optional<std::vector<PlaceItem>> list(const std::string& folder, std::string& failure) override;
    std::optional<PlaceItem> put(const std::string& folder, const std::string& name, FileReader& local,
                                 const std::atomic<bool>& stop, std::string& failure) override;
    PlaceResult prove(const std::string& folder, const std::string& name, FileReader& local,
                      const std::atomic<bool>& stop) override;
    std::unique_ptr<FileReader> open(const std::string& folder, const std::string& name) override;
    RemoveOutcome remove(const std::string& folder, const std::string& name, std::string& failure) override;
    PlaceResult setAside(const std::string& folder, const std::string& name) override;
    void cleanUp(const std::string& folder, const std::vector<std::string>& owed) override;
    std::vector<TrialStep> trial() override;

private:
    struct Local;
    std::optional<PlaceItem> putKey(const std::string& key, FileReader& local, const std::atomic<bool>& stop,
                                    std::string& failure);
    std::optional<PlaceItem> putMultipart(const std::string& key, FileReader& local, const Local& sums,
                                          const std::atomic<bool>& stop, std::string& failure);
    std::string check(const std::string& key, std::uint64_t size, const std::string& etag,
                      const std::atomic<bool>& stop, std::string* stamp = nullptr);
    RemoveOutcome removeKey(const std::string& key, std::string& failure);
    // Every page of the bucket's listing of `what` ("uploads" or "versions") under `prefix`, each
    // reply's body given to `page`, which tells where the next page starts (nothing: unreadable).
    bool everyPage(const std::string& what, const std::string& prefix, const std::atomic<bool>* stop,
                   const std::function<std::optional<s3::Markers>(const std::string&)>& page,
                   std::string& failure);
    std::optional<std::vector<s3::PendingUpload>> pendingUploads(const std::string& prefix,
                                                                 const std::atomic<bool>* stop,
                                                                 std::string& failure);
    // An object's URL, and the bucket's with a query; the query in SigV4's canonical order (sorted,
    // every value encoded), since libcurl 7.88 signs it as it stands.
    std::string url(const std::string& key, const std::string& query = {}) const;
    std::string bucketUrl(const std::string& query) const;
    // The Object Lock's headers of a new object, when copies are locked.
    void lockHeaders(std::vector<std::string>& headers) const;

    S3Config config_;
    std::unique_ptr<S3Transfer> transfer_;
};

}  // namespace zel
