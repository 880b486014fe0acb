#pragma once

#include <string>
#include <vector>

#include "window/machine.h"

namespace zel {

// The service's state as `--durum` prints it: one line each, the run log's last lines at the end.
std::vector<std::string> statusLines(const MachineStatus& status, const LocalDateTime& now);

}  // namespace zel
