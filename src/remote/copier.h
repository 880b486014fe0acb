#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/files/file_system.h"
#include "platform/system/clock.h"
#include "remote/copy_plan.h"
#include "remote/second_place.h"

namespace zel {

// A pair of the window whose archives go to the second place.
struct CopyPair {
    int pair = 0;  // 0..3
    std::string source;
    std::string target;
};

// What a pass over the second place works with.
struct CopyRequest {
    std::vector<CopyPair> pairs;
    int keepHere = 0;   // archives the target folders keep per pair; 0: all
    int keepThere = 0;  // ... and the second place
    // A run's or the start's pass: copies waiting for their retry are tried now too.
    bool everything = false;
    // Old copies there are deleted: only after a run that retired old archives here too (a
    // watcher's presses of "Yedekle" must not age out every copy there).
    bool retire = false;
};

// A copy proven there in a pass.
struct ProvenCopy {
    int pair = 0;
    std::string archive;  // the local archive's path
    std::string line;     // "Uzak kopya: <archive> -> <place> (<size>, <s> s)"
};

// What a pass did, for the machine's thread.
struct CopyReport {
    std::vector<std::string> lines;     // for the run log, in order
    std::vector<std::string> failures;  // copies that failed in this pass
    std::vector<ProvenCopy> proven;     // copies sent and proven in this pass
    std::size_t owed = 0;               // archives the place still lacks
    std::optional<std::string> oldestOwed;  // the oldest of them, by its name's stamp
    // Seconds until a copy that failed may be tried again; nothing: not before the next run.
    std::optional<std::int64_t> retryIn;
    bool cut = false;  // the program's end stopped it
};

// Copies every verified archive that the target folders keep and the second place lacks, newest
// first, one at a time, on a thread of its own; proves each copy there, and applies the pairs'
// retention there. What is owed is looked up again at every pass, so nothing is queued on disk:
// a restart, a power cut or a week offline resumes by itself.
class RemoteCopier {
public:
    using Report = std::function<void(CopyReport)>;
    RemoteCopier(FileSystem& files, const Clock& clock, Report report);
    // Cuts a copy under way.
    ~RemoteCopier();
    RemoteCopier(const RemoteCopier&) = delete;
    RemoteCopier& operator=(const RemoteCopier&) = delete;

    // The place for the passes from now on; none: passes do nothing.
    void setPlace(std::shared_ptr<SecondPlace> place);
    // Asks for a pass; a pass asked for while another waits joins it.
    void request(CopyRequest request);
    // A run's archives are verified only at its end: from `stamp` on, names are left alone meanwhile.
    void runStarted(const std::string& stamp);
    void runEnded();
    // Whether a pass runs or waits.
    bool busy();

private:
    void work();
    CopyReport pass(const CopyRequest& request, SecondPlace& place);
    // The pair whose source alone the archive holds, by its entries; nothing for nobody's.
    std::optional<int> ownerOf(FileReader* archive, const std::string& cacheKey, const CopyRequest& request,
                               const std::string& target);
    void retention(const CopyRequest& request, SecondPlace& place, const std::vector<LocalArchive>& local,
                   std::map<std::string, std::vector<PlaceItem>>& there, CopyReport& report);
    void failed(const std::string& key, std::int64_t now, bool series);
    bool waiting(const std::string& key, std::int64_t now) const;

    FileSystem& files_;
    const Clock& clock_;
    Report report_;
    // The copier's thread alone reads and writes these.
    // folder/name -> the copy's stamp and the local archive's when it was proven
    std::map<std::string, std::string> proven_;
    struct Failures {
        int count = 0;
        std::optional<std::int64_t> nextTry;  // nothing: at the next run
    };
    std::map<std::string, Failures> failures_;
    std::map<std::string, std::optional<std::string>> owners_;  // an archive -> the source prefix it holds alone

    std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<SecondPlace> place_;
    std::optional<CopyRequest> waiting_;
    std::optional<std::string> runStamp_;
    bool working_ = false;
    bool stopping_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;  // last: it starts once everything above is ready
};

// "Uzak kopya: <archive> -> <place> (<size>, <s> s)".
std::string provenCopyText(const std::string& archive, const std::string& place, std::uint64_t bytes, double seconds);

}  // namespace zel
