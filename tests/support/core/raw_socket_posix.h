#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <string>

#include "transport/channel_io_posix.h"

namespace zel::test {

// A socket of the test's own at `path`, below the program's channel: bound (and listening, with
// `backlog`) or connected, and read only when the test says so.
inline UniqueFd rawSocket(const std::string& path, bool connectToIt, int backlog = -1) {
    sockaddr_un address;
    std::string error;
    EXPECT_TRUE(unixAddress(path, address, error)) << error;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const auto* a = reinterpret_cast<const sockaddr*>(&address);
    const bool done = connectToIt ? ::connect(fd.get(), a, sizeof address) == 0
                                  : ::bind(fd.get(), a, sizeof address) == 0 &&
                                        (backlog < 0 || ::listen(fd.get(), backlog) == 0);
    return done ? std::move(fd) : UniqueFd();
}

}  // namespace zel::test
