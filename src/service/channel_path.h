#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zel {

// The folder that systemd makes for the service (RuntimeDirectory=zelyedek).
inline constexpr std::string_view kServiceRuntimeFolder = "/run/zelyedek";

// The socket's name in its folder, from the program folder's instance key.
std::string channelFileName(std::string_view instanceKey);

// Where the service listens: the runtime folder systemd gives it ($RUNTIME_DIRECTORY), else the
// user's runtime folder ($XDG_RUNTIME_DIR), else the program folder. Empty texts are unset.
std::string serviceChannelPath(std::string_view runtimeDirectory, std::string_view xdgRuntimeDir,
                               std::string_view programFolder, std::string_view instanceKey);

// Where a client looks, in this order: the machine service's folder, then the places a service
// started by hand would use.
std::vector<std::string> clientChannelPaths(std::string_view xdgRuntimeDir, std::string_view programFolder,
                                            std::string_view instanceKey);

// The Windows service's named pipe: "\\.\pipe\ZELYedek-" and the folder key's 16 hex digits.
std::string pipeChannelPath(std::string_view instanceKey);

}  // namespace zel
