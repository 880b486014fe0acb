#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_stages.h"
#include "engine/shadow_copy.h"
#include "platform/files/file_system.h"

namespace zel {

// The file beside the settings that keeps the id of the snapshot set in use, so that one left by a
// crash is found and deleted at the next start.
inline constexpr std::string_view kShadowSetFileName = "TarvelYedekGolge.txt";

// A run's snapshot set: taken before the first zip for the local volumes of the run's sources,
// read by their pairs, deleted at the run's end. When it cannot be had the pairs read the live
// folders with a warning, or (required) those pairs fail.
class ShadowStage final : public RunStages {
public:
    struct Parts {
        ShadowCopyOps* ops;  // none: this system takes no snapshots
        bool elevated;       // runs as the service or as an administrator
        FileSystem& files;
        std::string linkFolder;  // where the folder links to the snapshots go: only administrators write it
        std::string setIdFile;
        std::function<void()> processEvents;  // keeps the window live meanwhile
        std::function<void(const std::string&)> log;
        std::function<void(const std::string&)> warn;
    };
    explicit ShadowStage(Parts parts) : parts_(std::move(parts)) {}

    void setMode(ShadowCopyMode mode) { mode_ = mode; }
    // Whether a run would try to take one: a system with snapshots, and not turned off.
    bool active() const { return parts_.ops && mode_ != ShadowCopyMode::Off; }
    // At the start: a set an earlier process left behind is deleted, with its links.
    void deleteLeftover();

    std::string beforePairs(const RunPairs& pairs) override;
    void afterZips(bool) override {}
    SourcePlace sourcePlace(const std::string& source) override;
    void runEnded() override;

private:
    void keepSetId(const std::string& setId);
    void live(const std::function<void()>& work);

    Parts parts_;
    ShadowCopyMode mode_ = ShadowCopyMode::Auto;
    std::optional<ShadowCopy> copy_;
    std::vector<std::string> volumes_;  // the volumes of this run's set, taken or not
    std::string failure_;               // why this run has none
};

}  // namespace zel
