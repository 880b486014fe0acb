#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the program tells Prometheus' textfile collectors, in the text exposition format.

namespace zel {

// One used folder pair's figures; times are Unix seconds of the real clock.
struct PairMetrics {
    int pair = 1;  // 1..4
    std::string source;
    std::string target;
    std::optional<std::int64_t> lastSuccess;  // the last verified archive
    std::optional<std::int64_t> lastRun;
    std::optional<bool> lastRunSucceeded;
    std::optional<std::uint64_t> lastArchiveBytes;
    std::optional<double> lastRunSeconds;
    std::uint64_t archivesKept = 0;
};

struct MetricsFacts {
    bool up = true;  // false once the program has ended
    std::string version;
    bool service = false;
    std::vector<PairMetrics> pairs;
    std::optional<bool> lastHistoryRecordSucceeded;
    std::uint64_t warningsHeld = 0;
    std::optional<std::int64_t> nextSlot;
};

// A label's value as the format wants it: backslash, double quote and line feed escaped.
std::string prometheusLabelValue(std::string_view text);

// "# HELP" and "# TYPE" once for each metric, then its samples; a figure nobody knows yet (no run
// since the start) is left out rather than written as 0. LF line ends, ending with one.
std::string prometheusText(const MetricsFacts& facts);

}  // namespace zel
