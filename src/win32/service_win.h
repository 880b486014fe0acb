#pragma once

#include "transport/pipe_server_check_win.h"  // kServiceName

namespace zel {

// The program as the Windows service ZELYedek: hands this thread to the Service Control Manager
// until the service has stopped. 1 when the program was not started by it.
int runWindowsService();

// True when the service ZELYedek is installed on this machine and running.
bool machineServiceRunning();

}  // namespace zel
