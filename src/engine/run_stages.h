#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/shadow_copy.h"

namespace zel {

// The folder pairs as a run found them at its start: source and target texts, empty when unused.
struct RunPairs {
    std::array<std::string, 4> sources;
    std::array<std::string, 4> targets;
};

// Where a pair's source is read: live, or from a snapshot; or not at all, with why.
struct SourcePlace {
    std::optional<SnapshotRead> snapshot;
    std::string refusal;
};

// What a run does around its pairs' zips: a command before them and one after, a snapshot set
// the zips read from.
class RunStages {
public:
    virtual ~RunStages() = default;
    // Once per run, before its first pair: empty lets the pairs run; otherwise why every pair of
    // the run fails without zip.
    virtual std::string beforePairs(const RunPairs& pairs) = 0;
    // Once zip has ended for the run's last pair, or once the run ended or was stopped before
    // that; only after beforePairs. `wentWell`: every pair so far, and that zip, ended well.
    virtual void afterZips(bool wentWell) = 0;
    // Where a pair of this run reads its source from.
    virtual SourcePlace sourcePlace(const std::string& /*source*/) { return {}; }
    // The run has ended, also after a stop: what it held is let go.
    virtual void runEnded() {}
};

// Several stages, each begun in turn (none after one that refuses the pairs) and ended in the
// reverse order: the command before, then the snapshot; the command after once the zips end, the
// snapshot let go at the run's end.
class StagesInOrder final : public RunStages {
public:
    explicit StagesInOrder(std::vector<RunStages*> stages) : stages_(std::move(stages)) {}
    std::string beforePairs(const RunPairs& pairs) override {
        for (RunStages* stage : stages_)
            if (std::string refusal = stage->beforePairs(pairs); !refusal.empty()) return refusal;
        return {};
    }
    void afterZips(bool wentWell) override {
        for (auto it = stages_.rbegin(); it != stages_.rend(); ++it) (*it)->afterZips(wentWell);
    }
    SourcePlace sourcePlace(const std::string& source) override {
        for (RunStages* stage : stages_) {
            SourcePlace place = stage->sourcePlace(source);
            if (place.snapshot || !place.refusal.empty()) return place;
        }
        return {};
    }
    void runEnded() override {
        for (auto it = stages_.rbegin(); it != stages_.rend(); ++it) (*it)->runEnded();
    }

private:
    std::vector<RunStages*> stages_;
};

}  // namespace zel
