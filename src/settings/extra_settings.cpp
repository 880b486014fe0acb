#include "settings/extra_settings.h"

#include <array>
#include <cctype>

#include "settings/settings_format.h"

namespace zel {
namespace {

struct Key {
    std::string_view name;
    int ExtraSettings::*value;
    int high;
};
constexpr std::array<Key, 2> kKeys = {{
    {kKeepArchivesKey, &ExtraSettings::keepArchives, kKeepArchivesMax},
    {kMissedRunKey, &ExtraSettings::missedRun, 1},
}};

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The index in kKeys of the key a line sets, and the text of its value; nothing for a line the
// file does not own.
std::optional<std::size_t> keyOf(std::string_view line, std::string_view& value) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view name = trimBlanks(line.substr(0, equals));
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (equalsIgnoringCase(name, kKeys[i].name)) {
            value = line.substr(equals + 1);
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> wholeNumberIn(std::string_view text, int low, int high) {
    text = trimBlanks(text);
    if (text.empty()) return std::nullopt;
    long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > high) return std::nullopt;  // also before a long run of digits could overflow
    }
    if (n < low) return std::nullopt;
    return static_cast<int>(n);
}

ExtraSettingsFile parseExtraSettings(std::string_view text) {
    ExtraSettingsFile file;
    file.lines = textLines(text);
    std::array<bool, kKeys.size()> seen{};
    for (const std::string& line : file.lines) {
        std::string_view value;
        const std::optional<std::size_t> key = keyOf(line, value);
        if (!key || seen[*key]) continue;
        seen[*key] = true;
        if (const std::optional<int> v = wholeNumberIn(value, 0, kKeys[*key].high))
            file.values.*kKeys[*key].value = *v;
    }
    return file;
}

std::string extraSettingsText(const ExtraSettingsFile& file) {
    std::string out;
    auto keyLine = [&](std::size_t key) {
        out += kKeys[key].name;
        out += '=';
        out += std::to_string(file.values.*kKeys[key].value);
        out += "\r\n";
    };
    std::array<bool, kKeys.size()> written{};
    for (const std::string& line : file.lines) {
        std::string_view value;
        if (const std::optional<std::size_t> key = keyOf(line, value)) {
            keyLine(*key);
            written[*key] = true;
            continue;
        }
        out += line;
        out += "\r\n";
    }
    for (std::size_t key = 0; key < kKeys.size(); ++key)
        if (!written[key]) keyLine(key);
    return out;
}

std::string extraSettingsPath(std::string_view programFolder) {
    return std::string(programFolder) + "\\" + std::string(kExtraSettingsFileName);
}

}  // namespace zel
