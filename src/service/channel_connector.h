#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "service/window_client.h"

namespace zel {

// Connects to the first of `paths` where a service answers, each tried for at most `timeout`.
ChannelConnector channelConnector(std::vector<std::string> paths,
                                  std::chrono::milliseconds timeout = std::chrono::milliseconds(1000));

}  // namespace zel
