#pragma once

namespace zel {

// The service's name with the Service Control Manager.
inline constexpr const wchar_t* kServiceName = L"ZELYedek";

// The program as the Windows service ZELYedek: hands this thread to the Service Control Manager
// until the service has stopped. 1 when the program was not started by it.
int runWindowsService();

// True when the service ZELYedek is installed on this machine and running.
bool machineServiceRunning();

}  // namespace zel
