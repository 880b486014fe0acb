#include "engine/run_commands.h"

#include <utility>

#include "engine/folder_text.h"
#include "platform/files/path_map.h"
#include "platform/processes/command_words.h"
#include "platform/system/oem_text.h"

namespace zel {
namespace {

bool wholeProgramPath(std::string_view program) {
    const bool onADrive = startsWithDrive(program) && program.size() > 2 && (program[2] == '\\' || program[2] == '/');
    return onADrive || program.starts_with("\\\\") || program.starts_with('/');
}

}  // namespace

std::string commandProgram(std::string_view commandLine) {
    const std::vector<std::string> words = splitCommandWords(commandLine);
    return words.empty() ? std::string() : words.front();
}

std::string commandRefusal(std::string_view commandLine,
                           const std::function<std::string(const std::string& program)>& untrustedWriters) {
    const std::string shown = withVisibleControls(commandLine);
    if (shown != commandLine) return "Komutta denetim karakteri var: " + shown;
    const std::string program = commandProgram(commandLine);
    if (!wholeProgramPath(program)) return "Komutun programı tam yoluyla yazılmalı: " + program;
    const std::string who = untrustedWriters ? untrustedWriters(program) : std::string("denetlenemedi");
    return who.empty() ? std::string() : "Komut güvenli bir klasörde değil: " + program + " (" + who + ")";
}

Environment commandEnvironment(const RunPairs& pairs, std::optional<bool> wentWell) {
    Environment variables;
    for (std::size_t i = 0; i < pairs.sources.size(); ++i) {
        variables.emplace_back("ZELYEDEK_KAYNAK" + std::to_string(i + 1), pairs.sources[i]);
        variables.emplace_back("ZELYEDEK_HEDEF" + std::to_string(i + 1), pairs.targets[i]);
    }
    if (wentWell) variables.emplace_back("ZELYEDEK_SONUC", *wentWell ? "tamam" : "hata");
    return variables;
}

std::vector<std::string> commandOutputLines(std::string_view output, std::size_t most) {
    const std::string text = consoleTextToUtf8(output);
    std::vector<std::string> lines;
    std::size_t leftOut = 0;
    std::string line;
    auto endLine = [&] {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (line.empty()) return;
        lines.size() < most ? lines.push_back(std::move(line)) : void(++leftOut);
        line.clear();
    };
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n' || c == '\r') {
            endLine();
        } else if (c == '\t') {
            line += ' ';
        } else if (u >= 0x20 && u != 0x7F) {
            line += c;
        }
    }
    endLine();
    if (leftOut > 0) lines.push_back("... ve " + std::to_string(leftOut) + " satır daha");
    return lines;
}

std::string commandFailure(const ProcessRunner::CommandOutcome& outcome, std::chrono::seconds limit) {
    switch (outcome.result) {
        case kRunEnded:
            if (!outcome.exitCode) return "sonucu alınamadı";
            return *outcome.exitCode == 0 ? std::string() : "çıkış kodu " + std::to_string(*outcome.exitCode);
        case kRunLimitExceeded: {
            const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(limit).count();
            return (minutes > 0 ? std::to_string(minutes) + " dakikada" : std::to_string(limit.count()) + " saniyede") +
                   " bitmedi, durduruldu";
        }
        default:
            return "başlatılamadı";
    }
}

void RunCommands::setCommands(std::string before, std::string after) {
    before_ = std::move(before);
    after_ = std::move(after);
}

std::string RunCommands::beforePairs(const RunPairs& pairs) {
    pairs_ = pairs;
    owesAfter_ = false;
    // Both are judged before either runs: a command after that may not run would leave a database
    // that the one before stopped down.
    for (const std::string* line : {&before_, &after_}) {
        if (line->empty()) continue;
        if (std::string refused = commandRefusal(*line, parts_.untrustedWriters); !refused.empty()) return refused;
    }
    owesAfter_ = true;
    if (before_.empty()) return {};
    const std::string failure = runOne("Önceki komut", before_, commandEnvironment(pairs_));
    return failure.empty() ? std::string() : "Önceki komut başarısız: " + failure;
}

void RunCommands::afterZips(bool wentWell) {
    if (!std::exchange(owesAfter_, false) || after_.empty()) return;
    const std::string failure = runOne("Sonraki komut", after_, commandEnvironment(pairs_, wentWell));
    if (!failure.empty()) parts_.warn("Sonraki komut başarısız: " + failure);
}

std::string RunCommands::runOne(std::string_view label, const std::string& line, const Environment& environment) {
    const std::string name(label);
    parts_.log(name + " başladı: " + line);
    const auto limitMs = std::chrono::duration_cast<std::chrono::milliseconds>(parts_.limit).count();
    const ProcessRunner::CommandOutcome outcome = parts_.runner.runCommand(line, environment, static_cast<std::int32_t>(limitMs));
    for (const std::string& output : commandOutputLines(outcome.output)) parts_.log(name + ": " + output);
    const std::string failure = commandFailure(outcome, parts_.limit);
    parts_.log(failure.empty() ? name + " bitti" : name + " başarısız: " + failure);
    return failure;
}

}  // namespace zel
