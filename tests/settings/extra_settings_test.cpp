#include "settings/extra_settings.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

struct ReadCase {
    const char* name;
    const char* text;
    ExtraSettings expected;
};

TEST(ExtraSettingsRead, EachKeyReadsItsWholeNumberInRangeOrItsDefault) {
    const ReadCase cases[] = {
        {"an empty file", "", {0, 0, {}}},
        {"both keys", "SaklanacakYedek=12\r\nKacanYedek=1\r\n", {12, 1, {}}},
        {"LF line ends", "KacanYedek=1\nSaklanacakYedek=30\n", {30, 1, {}}},
        {"a last line without its end", "SaklanacakYedek=999", {999, 0, {}}},
        {"a missing key", "KacanYedek=1\r\n", {0, 1, {}}},
        {"any letter case, blanks around", " saklanacakyedek\t= 7 \r\nKACANYEDEK=1\r\n", {7, 1, {}}},
        {"leading zeros", "SaklanacakYedek=007\r\nKacanYedek=0\r\n", {7, 0, {}}},
        {"above the range", "SaklanacakYedek=1000\r\nKacanYedek=2\r\n", {0, 0, {}}},
        {"negative", "SaklanacakYedek=-1\r\nKacanYedek=-0\r\n", {0, 0, {}}},
        {"not a whole number", "SaklanacakYedek=3.5\r\nKacanYedek=evet\r\n", {0, 0, {}}},
        {"a sign or a unit", "SaklanacakYedek=+4\r\nKacanYedek=1x\r\n", {0, 0, {}}},
        {"empty values", "SaklanacakYedek=\r\nKacanYedek= \r\n", {0, 0, {}}},
        {"far too many digits", "SaklanacakYedek=99999999999999999999999\r\n", {0, 0, {}}},
        {"the first line of a key counts", "SaklanacakYedek=4\r\nSaklanacakYedek=9\r\n", {4, 0, {}}},
        {"and a bad first line is not made up by a later one", "KacanYedek=x\r\nKacanYedek=1\r\n", {0, 0, {}}},
        {"comments and other keys",
         ";SaklanacakYedek=5\r\n# KacanYedek=1\r\nKacanYedekX=1\r\n[KacanYedek=1]\r\n",
         {0, 0, {}}},
        {"a line without '='", "SaklanacakYedek 5\r\nKacanYedek\r\n", {0, 0, {}}},
        {"the monitoring's texts, without their blanks", "metrikklasoru = /var/m \r\nIzlemeAdresi=https://o.com/p\r\n",
         {0, 0, {}, {"/var/m", "https://o.com/p"}}},
        {"the second place: words, numbers, a secret with its blanks",
         "UzakTur= S3 \r\nUzakAdres=https://s3.o.com\r\nUzakParola= g z \r\nUzakKova=kova\r\nUzakSaklanacak=0\r\n"
         "UzakHiz=512\r\nUzakKilitGun=30\r\nUzakKilitTuru=YONETIM\r\n",
         {0, 0, {}, {}, {RemoteKind::S3, "https://s3.o.com", "", " g z ", "", "kova", "", 0, 512, 30, LockMode::Governance}}},
        {"the second place's bad values read as their defaults",
         "UzakTur=ftp\r\nUzakSaklanacak=1000\r\nUzakHiz=-1\r\nUzakKilitGun=x\r\nUzakKilitTuru=sert\r\n",
         {0, 0, {}, {}, {}}},
    };
    for (const ReadCase& c : cases) {
        const ExtraSettings got = parseExtraSettings(c.text).values;
        EXPECT_EQ(got.keepArchives, c.expected.keepArchives) << c.name;
        EXPECT_EQ(got.missedRun, c.expected.missedRun) << c.name;
        EXPECT_EQ(got.watch, c.expected.watch) << c.name;
        EXPECT_EQ(got.remote, c.expected.remote) << c.name;
    }
}

struct WriteCase {
    const char* name;
    std::string read;
    ExtraSettings values;
    std::string written;
};

TEST(ExtraSettingsWrite, KnownKeysCarryTheValuesAndEveryOtherLineStaysInItsPlace) {
    // More lines than the first settings file reads.
    std::string manyRead, manyWritten;
    for (int i = 1; i <= 16; ++i) {
        manyRead += "; satir " + std::to_string(i) + "\n";
        manyWritten += "; satir " + std::to_string(i) + "\r\n";
    }
    const WriteCase cases[] = {
        {"no file yet: both keys", "", {3, 1, {}}, "SaklanacakYedek=3\r\nKacanYedek=1\r\n"},
        {"defaults are written too", "", {0, 0, {}}, "SaklanacakYedek=0\r\nKacanYedek=0\r\n"},
        {"comments, sections, other keys and empty lines kept",
         "; el ile\r\n[Genel]\r\nKacanYedek=0\r\nBaskaAnahtar = x y \r\n\r\nSaklanacakYedek=abc\r\n# son\r\n",
         {5, 1, {}},
         "; el ile\r\n[Genel]\r\nKacanYedek=1\r\nBaskaAnahtar = x y \r\n\r\nSaklanacakYedek=5\r\n# son\r\n"},
        {"LF in, CR LF out, and an end for the last line",
         "Yorum=1\nKacanYedek=1\nSon",
         {0, 1, {}},
         "Yorum=1\r\nKacanYedek=1\r\nSon\r\nSaklanacakYedek=0\r\n"},
        {"a key in another spelling is written in its own",
         "  kacanyedek = 0\r\n",
         {2, 1, {}},
         "KacanYedek=1\r\nSaklanacakYedek=2\r\n"},
        {"every line of a key says the same",
         "SaklanacakYedek=4\r\nx=1\r\nSaklanacakYedek=9\r\n",
         {6, 0, {}},
         "SaklanacakYedek=6\r\nx=1\r\nSaklanacakYedek=6\r\nKacanYedek=0\r\n"},
        {"letters of the code page kept",
         "; Yedek say\xC4\xB1s\xC4\xB1\n",
         {1, 0, {}},
         "; Yedek say\xC4\xB1s\xC4\xB1\r\nSaklanacakYedek=1\r\nKacanYedek=0\r\n"},
        {"sixteen lines kept", manyRead, {0, 0, {}}, manyWritten + "SaklanacakYedek=0\r\nKacanYedek=0\r\n"},
        {"a monitoring key is added once set, and a line of its own stays when it is not",
         "MetrikKlasoru=c:\\m\r\n",
         {0, 0, {}, {"", "https://o.com/p"}},
         "MetrikKlasoru=\r\nSaklanacakYedek=0\r\nKacanYedek=0\r\nIzlemeAdresi=https://o.com/p\r\n"},
        {"the second place's keys come all at once, once it is set; its keep is empty while unset",
         "",
         {0, 0, {}, {}, {RemoteKind::Folder, "e:\\y"}},
         "SaklanacakYedek=0\r\nKacanYedek=0\r\nUzakTur=klasor\r\nUzakAdres=e:\\y\r\nUzakKullanici=\r\nUzakParola=\r\n"
         "UzakBolge=\r\nUzakKova=\r\nUzakOnek=\r\nUzakSaklanacak=\r\nUzakHiz=0\r\nUzakKilitGun=0\r\nUzakKilitTuru=uyum\r\n"},
    };
    for (const WriteCase& c : cases) {
        ExtraSettingsFile file = parseExtraSettings(c.read);
        file.values = c.values;
        EXPECT_EQ(extraSettingsText(file), c.written) << c.name;
    }
}

TEST(ExtraSettingsPath, BesideTheFirstFile) {
    EXPECT_EQ(extraSettingsPath("c:\\Program Files\\ZEL"), "c:\\Program Files\\ZEL\\TarvelYedekEk.ini");
}

}  // namespace
}  // namespace zel
