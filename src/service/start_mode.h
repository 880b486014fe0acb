#pragma once

#include <string_view>
#include <vector>

namespace zel {

// How the program was asked to start.
enum class StartMode {
    Auto,     // no argument: a window client when the service of this folder answers, else alone
    Service,  // --hizmet: the machine service, without any display
    Window,   // --pencere: a window client that never runs alone
    Status,   // --durum: print the service's state
    Run,      // --yedekle: a run now, its lines printed
};

// The first argument the program knows decides ("--hizmet" or "/hizmet" alike); arguments it does
// not know are left to the toolkit, as they always were.
StartMode startModeFrom(const std::vector<std::string_view>& arguments);

}  // namespace zel
