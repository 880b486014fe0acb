#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/process_runner.h"
#include "engine/run_stages.h"

namespace zel {

// A command before or after a run that has not ended by then is ended with what it started.
inline constexpr std::chrono::minutes kRunCommandLimit{15};
// Lines of a command's output that go into the run log.
inline constexpr std::size_t kCommandOutputLines = 50;

// The program a command line starts, as it is written: its first word.
std::string commandProgram(std::string_view commandLine);

// Why a command line may not be run, in the run log's words; empty when it may. Its program must
// be written as a whole path (a bare name would be looked up in folders anybody may have put
// first), nobody but the administrators may change it (`untrustedWriters` says who else may,
// empty for nobody; without it nothing runs), and the line holds no control character.
std::string commandRefusal(std::string_view commandLine,
                           const std::function<std::string(const std::string& program)>& untrustedWriters);

// What a command is told of its run: ZELYEDEK_KAYNAK1..4 and ZELYEDEK_HEDEF1..4 (empty for an
// unused pair) and, for the command after, ZELYEDEK_SONUC ("tamam" or "hata").
Environment commandEnvironment(const RunPairs& pairs, std::optional<bool> wentWell = std::nullopt);

// A command's output as run-log lines: at most `most` lines, each without control characters
// (a tab becomes a space) and without the blanks at its end, empty lines left out; past the
// limit one more line tells how many were left out.
std::vector<std::string> commandOutputLines(std::string_view output, std::size_t most = kCommandOutputLines);

// How a command ended, in the run log's words: "çıkış kodu 3", "başlatılamadı", ...; empty for
// an end with exit code 0.
std::string commandFailure(const ProcessRunner::CommandOutcome& outcome, std::chrono::seconds limit);

// The commands before and after a run, as the settings give them; either may be empty.
class RunCommands final : public RunStages {
public:
    struct Parts {
        const ProcessRunner& runner;
        // Who other than the administrators may change a program; empty for nobody.
        std::function<std::string(const std::string& program)> untrustedWriters;
        std::function<void(const std::string&)> log;
        std::function<void(const std::string&)> warn;
        std::chrono::seconds limit = kRunCommandLimit;
    };
    explicit RunCommands(Parts parts) : parts_(std::move(parts)) {}

    void setCommands(std::string before, std::string after);

    std::string beforePairs(const RunPairs& pairs) override;
    void afterZips(bool wentWell) override;

private:
    // Runs one command and logs it; its failure in the run log's words, empty when it ended with 0.
    std::string runOne(std::string_view label, const std::string& line, const Environment& environment);

    Parts parts_;
    std::string before_;
    std::string after_;
    RunPairs pairs_;
    bool owesAfter_ = false;  // the command before was started (or there is none): the one after is due
};

}  // namespace zel
