#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include "platform/command_words.h"
#include "platform/wide_text_win.h"

namespace zel {
namespace {

// The words a Windows program gets, by the system's own reading of a command line.
std::vector<std::string> windowsWords(const std::string& line) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(widen(line).c_str(), &count);
    std::vector<std::string> words;
    for (int i = 0; i < count; ++i) words.push_back(narrow(argv[i]));
    LocalFree(argv);
    return words;
}

TEST(CommandWords, ReadsArgumentsAsWindowsDoes) {
    for (const char* line : {"zip.exe \"c:\\eski yedek\\\\\" -r \"c:\\my docs\\\\\"", "zip.exe a\\\\\\\"b c",
                             "zip.exe \"c:\\x y\\\" z", "zip.exe c:\\x\\ \"\" y\tz"}) {
        EXPECT_EQ(splitCommandWords(line), windowsWords(line)) << line;
    }
}

}  // namespace
}  // namespace zel
