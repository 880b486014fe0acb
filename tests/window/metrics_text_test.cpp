#include "window/metrics_text.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(MetricsText, LabelValuesEscapeBackslashQuoteAndLineFeed) {
    EXPECT_EQ(prometheusLabelValue("c:\\tarvel-yedek"), "c:\\\\tarvel-yedek");
    EXPECT_EQ(prometheusLabelValue("a\"b\nc"), "a\\\"b\\nc");
    EXPECT_EQ(prometheusLabelValue("ğüşıöç"), "ğüşıöç");
}

// A pair that ran and one that has not since the start: the unknown figures are left out, each
// metric has its help and type once, and the text ends with a line feed.
TEST(MetricsText, EveryFigureOnceWithItsHelpAndTypeAndNothingUnknown) {
    MetricsFacts f;
    f.version = "1.1.0";
    f.service = true;
    PairMetrics ran;
    ran.pair = 1;
    ran.source = "c:\\brevund";
    ran.target = "c:\\tarvel-yedek";
    ran.lastSuccess = 1765260000;
    ran.lastRun = 1765260000;
    ran.lastRunSucceeded = true;
    ran.lastArchiveBytes = 367;
    ran.lastRunSeconds = 1.5;
    ran.archivesKept = 3;
    PairMetrics idle;
    idle.pair = 2;
    idle.source = "d:\\veri";
    idle.target = "d:\\yedek";
    f.pairs = {ran, idle};
    f.lastHistoryRecordSucceeded = false;
    f.warningsHeld = 2;
    f.nextSlot = 1765346400;
    const std::string text = prometheusText(f);
    const std::string labels1 = "{pair=\"1\",source=\"c:\\\\brevund\",target=\"c:\\\\tarvel-yedek\"}";
    const std::string labels2 = "{pair=\"2\",source=\"d:\\\\veri\",target=\"d:\\\\yedek\"}";
    for (const std::string& line : {
             std::string("zelyedek_up 1\n"),
             std::string("zelyedek_info{version=\"1.1.0\",mode=\"service\"} 1\n"),
             "zelyedek_last_success_timestamp_seconds" + labels1 + " 1765260000\n",
             "zelyedek_last_run_success" + labels1 + " 1\n",
             "zelyedek_last_archive_bytes" + labels1 + " 367\n",
             "zelyedek_last_run_duration_seconds" + labels1 + " 1.5\n",
             "zelyedek_archives_kept" + labels1 + " 3\n",
             "zelyedek_archives_kept" + labels2 + " 0\n",
             std::string("zelyedek_last_history_record_success 0\n"),
             std::string("zelyedek_warnings_held 2\n"),
             std::string("zelyedek_next_slot_timestamp_seconds 1765346400\n"),
         }) {
        EXPECT_NE(text.find(line), std::string::npos) << line << text;
    }
    EXPECT_EQ(text.find("zelyedek_last_success_timestamp_seconds" + labels2), std::string::npos);
    EXPECT_EQ(text.find("\r"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    const std::string type = "# TYPE zelyedek_archives_kept gauge\n";
    EXPECT_EQ(text.find(type), text.rfind(type));
}

}  // namespace
}  // namespace zel
