#pragma once

#include "service/start_mode.h"

namespace zel {

// The window program: alone, or a client of the service of its folder (`mode` Auto or Window).
int runWindowProgram(int argc, char* argv[], StartMode mode);
// The machine service, without any display.
int runServiceProgram(int argc, char* argv[]);
// `--durum` and `--yedekle`: a shell's view of the service.
int runShellProgram(StartMode mode);

}  // namespace zel
