#include "engine/backup_report.h"

#include <gtest/gtest.h>

#include <functional>

namespace zel {
namespace {

using Kind = PairOutcome::Kind;

PairOutcome outcome(Kind kind, std::optional<int> code = std::nullopt) {
    PairOutcome o;
    o.kind = kind;
    o.source = "c:\\brevund";
    o.target = "c:\\tarvel-yedek";
    o.archivePath = "c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip";
    o.exitCode = code;
    o.archiveBytes = 1234;
    o.seconds = 2.25;
    o.filesVerified = 3;
    return o;
}

PairOutcome with(PairOutcome o, std::function<void(PairOutcome&)> change) {
    change(o);
    return o;
}

TEST(BackupReport, EachPairOutcomeHasItsLogLineAndOnlyFailuresAWarning) {
    struct Case {
        PairOutcome outcome;
        const char* log;
        const char* warning;  // nullptr: no warning
    };
    const Case cases[] = {
        {outcome(Kind::Archived, 0),
         "Arşivlendi: c:\\brevund -> c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip (1234 bayt, 2.2 sn, 3 "
         "dosya doğrulandı)",
         nullptr},
        {with(outcome(Kind::Archived, 0),
              [](PairOutcome& o) {
                  o.leftOutByZip = 2;
                  o.vanished = {"c:\\brevund\\a.tmp", "c:\\brevund\\b.tmp"};
                  o.changed = {"c:\\brevund\\veri.db"};
              }),
         "Arşivlendi: c:\\brevund -> c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip (1234 bayt, 2.2 sn, 3 "
         "dosya doğrulandı, 2 gizli ya da sistem dosyası alınmadı) (değişen dosya: 3)",
         nullptr},
        {with(outcome(Kind::Damaged, 0),
              [](PairOutcome& o) { o.problem = "arşiv bozuk: veri/x.db CRC hatası"; }),
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip (arşiv bozuk: "
         "veri/x.db CRC hatası)",
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek (arşiv bozuk: veri/x.db CRC hatası)"},
        {with(outcome(Kind::Incomplete, 0),
              [](PairOutcome& o) { o.problem = "okunamayan klasör: brevund/k"; }),
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip (okunamayan "
         "klasör: brevund/k)",
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek (okunamayan klasör: brevund/k)"},
        {outcome(Kind::SourceMissing), "Kaynak klasör yok, atlandı: c:\\brevund", nullptr},
        {outcome(Kind::ZipFailed, 18),
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip (zip hata kodu "
         "18: "
         "bazı dosyalar okunamadı ve arşive girmedi)",
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek (zip hata kodu 18)"},
        {outcome(Kind::ZipFailed, 0),
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip (arşiv "
         "oluşmadı)",
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek (arşiv oluşmadı)"},
        {outcome(Kind::ZipFailed),
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip (zip "
         "programının "
         "sonucu alınamadı)",
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek (zip programının sonucu alınamadı)"},
        {outcome(Kind::ZipNotStarted),
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek\\tarvel-yedek20240305.0907.zip (zip programı "
         "başlatılamadı)",
         "Yedekleme başarısız: c:\\brevund -> c:\\tarvel-yedek (zip programı başlatılamadı)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pairLogText(c.outcome), c.log);
        EXPECT_EQ(pairFailed(c.outcome), c.warning != nullptr) << c.log;
        if (c.warning) {
            EXPECT_EQ(failureWarningText(c.outcome), c.warning);
        }
    }
}

// Files that changed or vanished while zip read them: the first 20 of each named, then a count.
TEST(BackupReport, ChangedFilesAreNamedUpToTwentyOfEachKind) {
    PairOutcome o = outcome(Kind::Archived, 0);
    EXPECT_TRUE(changedFileLines(o).empty());
    for (int i = 1; i <= 23; ++i) o.changed.push_back("c:\\d\\" + std::to_string(i));
    o.vanished = {"c:\\t\\1"};
    const std::vector<std::string> lines = changedFileLines(o);
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[0], "Yedekleme sırasında değişti: c:\\d\\1");
    EXPECT_EQ(lines[19], "Yedekleme sırasında değişti: c:\\d\\20");
    EXPECT_EQ(lines[20], "... ve 3 dosya daha");
    EXPECT_EQ(lines[21], "Yedekleme sırasında silindi: c:\\t\\1");
}

TEST(BackupReport, ZipCodesAUserMeetsAreExplained) {
    EXPECT_NE(zipExitMeaning(14).find("disk dolu"), std::string::npos);
    EXPECT_NE(zipExitMeaning(15).find("hedef klasör"), std::string::npos);
    EXPECT_NE(zipExitMeaning(18).find("okunamadı"), std::string::npos);
    EXPECT_EQ(zipExitMeaning(77), "bilinmeyen hata");
}

TEST(BackupReport, LogLineStartsWithTheLocalDateAndTime) {
    EXPECT_EQ(runLogLine({2024, 3, 5, 9, 7, 2}, "Yedekleme bitti"),
              "2024-03-05 09:07:02  Yedekleme bitti\r\n");
}

}  // namespace
}  // namespace zel
