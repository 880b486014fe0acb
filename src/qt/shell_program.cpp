#include <cstdio>
#include <string_view>

#include "channel/protocol.h"
#include "qt/program_parts.h"
#include "qt/programs.h"
#include "service/channel_connector.h"
#include "service/shell_command.h"

namespace zel {

int runShellProgram(StartMode mode) {
    const ProgramParts parts;
    return runShellCommand(
        mode == StartMode::Run ? ClientRole::Run : ClientRole::Status, std::string(kProgramVersion),
        channelConnector(parts.clientChannels()),
        [](std::string_view text) {
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);  // each line as it comes, also into a pipe
        },
        [](std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); });
}

}  // namespace zel
