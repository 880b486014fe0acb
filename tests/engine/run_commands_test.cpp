#include "engine/run_commands.h"

#include <gtest/gtest.h>

namespace zel {
namespace {

TEST(RunCommandRules, ALineRunsOnlyWithAWholePathNobodyElseMayChange) {
    const auto judge = [](const std::string& program) -> std::string {
        if (program == "c:\\Program") return program + ": bulunamadı";
        return program.find("herkes") != std::string::npos ? "/opt/herkes: herkes" : "";
    };
    for (const auto& [line, refusal] : std::vector<std::pair<std::string, std::string>>{
             {"/usr/local/sbin/db-durdur --hizli", ""},
             // Unquoted, the program ends at the first blank.
             {"c:\\Program Files\\DB\\durdur.cmd", "Komut güvenli bir klasörde değil: c:\\Program (c:\\Program: bulunamadı)"},
             {"\"c:\\Program Files\\DB\\durdur.cmd\" /hizli", ""},
             {"\\\\sunucu\\betikler\\durdur.cmd", ""},
             {"pg_ctl stop", "Komutun programı tam yoluyla yazılmalı: pg_ctl"},
             {"durdur\\x.cmd", "Komutun programı tam yoluyla yazılmalı: durdur\\x.cmd"},
             {"/opt/herkes/durdur.sh", "Komut güvenli bir klasörde değil: /opt/herkes/durdur.sh (/opt/herkes: herkes)"},
             {"/bin/true\n/bin/kotu", "Komutta denetim karakteri var: /bin/true\\x0A/bin/kotu"}}) {
        EXPECT_EQ(commandRefusal(line, judge), refusal) << line;
    }
    // Nobody to judge it: nothing runs.
    EXPECT_EQ(commandRefusal("/bin/true", {}), "Komut güvenli bir klasörde değil: /bin/true (denetlenemedi)");
}

TEST(RunCommandRules, OutputGoesToTheLogCleanedAndCut) {
    struct Case {
        const char* what;
        std::string output;
        std::vector<std::string> lines;
    };
    std::string many;
    for (int i = 1; i <= 53; ++i) many += "satır " + std::to_string(i) + "\r\n";
    std::vector<std::string> first50;
    for (int i = 1; i <= 50; ++i) first50.push_back("satır " + std::to_string(i));
    first50.push_back("... ve 3 satır daha");
    for (const Case& c : {
             Case{"CR LF, LF and a last line without its end", "bir\r\niki\nüç", {"bir", "iki", "üç"}},
             Case{"blank lines and blanks at the end go", "a  \r\n\r\n\n   \nb\t", {"a", "b"}},
             Case{"control characters go, a tab is a space", "x\x1b[31my\tz\x07\x7f", {"x[31my z"}},
#ifdef _WIN32
             // Not UTF-8: the console's code page, where 0xFF is a no-break space.
             Case{"a byte of the OEM code page", "a\xff" "b", {"a\xc2\xa0" "b"}},
#else
             Case{"a byte that fits no character", "a\xff" "b", {"a?b"}},
#endif
             Case{"fifty lines, then how many more", many, first50},
         }) {
        EXPECT_EQ(commandOutputLines(c.output), c.lines) << c.what;
    }
}

}  // namespace
}  // namespace zel
