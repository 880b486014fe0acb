#include <string_view>
#include <vector>

#include "qt/programs.h"

int main(int argc, char* argv[]) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    switch (const zel::StartMode mode = zel::startModeFrom(arguments)) {
        case zel::StartMode::Service:
            return zel::runServiceProgram(argc, argv);
        case zel::StartMode::Status:
        case zel::StartMode::Run:
            return zel::runShellProgram(mode);
        case zel::StartMode::Auto:
        case zel::StartMode::Window:
            return zel::runWindowProgram(argc, argv, mode);
    }
    return 1;
}
