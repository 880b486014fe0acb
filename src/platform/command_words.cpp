#include "platform/command_words.h"

namespace zel {

std::vector<std::string> splitCommandWords(std::string_view commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;  // "" is an empty word
        } else if (c == ' ' && !quoted) {
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

std::vector<std::string> nativeCommandWords(std::string_view commandLine, const PathMap& paths) {
    std::vector<std::string> words = splitCommandWords(commandLine);
    for (size_t i = 0; i < words.size(); ++i) {
        if (i == 0 || startsWithDrive(words[i])) words[i] = paths.native(words[i]);
    }
    return words;
}

}  // namespace zel
