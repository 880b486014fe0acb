#pragma once

#include <array>
#include <string>

namespace zel {

// The folder pairs as a run found them at its start: source and target texts, empty when unused.
struct RunPairs {
    std::array<std::string, 4> sources;
    std::array<std::string, 4> targets;
};

// What a run does around its pairs' zips: a command before them and one after.
class RunStages {
public:
    virtual ~RunStages() = default;
    // Once per run, before its first pair: empty lets the pairs run; otherwise why every pair of
    // the run fails without zip.
    virtual std::string beforePairs(const RunPairs& pairs) = 0;
    // Once zip has ended for the run's last pair, or once the run ended or was stopped before
    // that; only after beforePairs. `wentWell`: every pair so far, and that zip, ended well.
    virtual void afterZips(bool wentWell) = 0;
};

}  // namespace zel
