#include "platform/processes/command_words.h"

namespace zel {

std::vector<std::string> splitCommandWords(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (c == '\\') {
            std::size_t run = 0;
            while (i + run < commandLine.size() && commandLine[i + run] == '\\') ++run;
            i += run - 1;
            inWord = true;
            const bool beforeQuote = i + 1 < commandLine.size() && commandLine[i + 1] == '"';
            if (!beforeQuote) {
                word.append(run, '\\');
                continue;
            }
            // 2n backslashes and a quote: n backslashes, the quote still groups; 2n+1: a literal quote.
            word.append(run / 2, '\\');
            if (run % 2 == 1) {
                word += '"';
                ++i;
            }
        } else if (c == '"') {
            quoted = !quoted;
            inWord = true;  // "" is an empty word
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

NativeCommand nativeCommand(std::string_view commandLine, const PathMap& paths) {
    NativeCommand command{splitCommandWords(commandLine), {}};
    std::vector<std::string>& words = command.words;
    for (size_t i = 0; i < words.size(); ++i) {
        const bool recursed = i > 0 && words[i - 1] == "-r" && startsWithDrive(words[i]);
        if (recursed && command.workingFolder.empty()) {
            command.workingFolder = paths.native(words[i].substr(0, 2) + "\\");
            std::string inside = words[i].substr(2);
            while (!inside.empty() && (inside.front() == '\\' || inside.front() == '/')) inside.erase(0, 1);
            words[i] = inside.empty() ? "." : paths.native(inside);
        } else if (i == 0 || startsWithDrive(words[i])) {
            words[i] = paths.native(words[i]);
        }
    }
    return command;
}

}  // namespace zel
