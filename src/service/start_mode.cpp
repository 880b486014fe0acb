#include "service/start_mode.h"

#include <array>
#include <utility>

namespace zel {

StartMode startModeFrom(const std::vector<std::string_view>& arguments) {
    static constexpr std::array<std::pair<std::string_view, StartMode>, 4> kModes{{
        {"hizmet", StartMode::Service},
        {"pencere", StartMode::Window},
        {"durum", StartMode::Status},
        {"yedekle", StartMode::Run},
    }};
    for (std::string_view argument : arguments) {
        if (argument.starts_with("--"))
            argument.remove_prefix(2);
        else if (argument.starts_with("/"))
            argument.remove_prefix(1);
        else
            continue;
        for (const auto& [name, mode] : kModes)
            if (argument == name) return mode;
    }
    return StartMode::Auto;
}

}  // namespace zel
