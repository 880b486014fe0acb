#pragma once

#include <chrono>

#include "mail/ping.h"

namespace zel {

// Pings over HTTP or HTTPS through libcurl, each try within `limit`; the server's certificate is
// checked as the mail's is.
inline constexpr std::chrono::seconds kPingLimit{10};
PingSend curlPingSend(std::chrono::seconds limit = kPingLimit);

}  // namespace zel
