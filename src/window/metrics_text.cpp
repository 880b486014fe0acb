#include "window/metrics_text.h"

#include <cstdio>
#include <functional>

namespace zel {
namespace {

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string pairLabels(const PairMetrics& p) {
    return "{pair=\"" + std::to_string(p.pair) + "\",source=\"" + prometheusLabelValue(p.source) +
           "\",target=\"" + prometheusLabelValue(p.target) + "\"}";
}

// One metric: its help and type, then a sample for each pair that knows the figure.
void perPair(std::string& out, const char* name, const char* help, const std::vector<PairMetrics>& pairs,
             const std::function<std::optional<std::string>(const PairMetrics&)>& value) {
    std::string samples;
    for (const PairMetrics& p : pairs)
        if (const std::optional<std::string> v = value(p)) samples += std::string(name) + pairLabels(p) + " " + *v + "\n";
    if (samples.empty()) return;
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + samples;
}

void single(std::string& out, const char* name, const char* help, const std::string& sample) {
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " gauge\n" + name + sample + "\n";
}

template <typename T>
std::optional<std::string> known(const std::optional<T>& v) {
    return v ? std::optional(number(static_cast<double>(*v))) : std::nullopt;
}

}  // namespace

std::string prometheusLabelValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::string prometheusText(const MetricsFacts& f) {
    std::string out;
    single(out, "zelyedek_up", "1 while the backup program runs, 0 once it has ended.", f.up ? " 1" : " 0");
    single(out, "zelyedek_info", "The program's version and how it runs (alone or as a service).",
           "{version=\"" + prometheusLabelValue(f.version) + "\",mode=\"" + (f.service ? "service" : "alone") + "\"} 1");
    perPair(out, "zelyedek_last_success_timestamp_seconds", "When the pair's last verified archive was made.",
            f.pairs, [](const PairMetrics& p) { return known(p.lastSuccess); });
    perPair(out, "zelyedek_last_run_timestamp_seconds", "When the pair was last backed up, well or not.", f.pairs,
            [](const PairMetrics& p) { return known(p.lastRun); });
    perPair(out, "zelyedek_last_run_success", "1 when the pair's last run made a verified archive, else 0.",
            f.pairs, [](const PairMetrics& p) {
                return p.lastRunSucceeded ? std::optional(std::string(*p.lastRunSucceeded ? "1" : "0")) : std::nullopt;
            });
    perPair(out, "zelyedek_last_archive_bytes", "The size of the pair's last verified archive.", f.pairs,
            [](const PairMetrics& p) { return known(p.lastArchiveBytes); });
    perPair(out, "zelyedek_last_run_duration_seconds", "How long the pair's last run took.", f.pairs,
            [](const PairMetrics& p) { return known(p.lastRunSeconds); });
    perPair(out, "zelyedek_archives_kept", "The pair's verified archives in its target folder.", f.pairs,
            [](const PairMetrics& p) { return std::optional(std::to_string(p.archivesKept)); });
    if (f.lastHistoryRecordSucceeded)
        single(out, "zelyedek_last_history_record_success", "1 when the last run was recorded in the database.",
               std::string(" ") + (*f.lastHistoryRecordSucceeded ? "1" : "0"));
    single(out, "zelyedek_warnings_held", "Warnings of the last day, as --durum lists them.",
           " " + std::to_string(f.warningsHeld));
    if (f.nextSlot)
        single(out, "zelyedek_next_slot_timestamp_seconds", "When the next scheduled backup is due.",
               " " + number(static_cast<double>(*f.nextSlot)));
    return out;
}

}  // namespace zel
