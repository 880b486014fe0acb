#pragma once

#include <functional>
#include <memory>
#include <string>

#include "service/service_host.h"
#include "transport/local_channel.h"

namespace zel {

inline constexpr std::string_view kChannelNotOpened = "Pencere kanalı açılamadı: ";

// The service's end of the channel, kept open: the service runs its slots whether or not its
// windows can reach it, so a name that another program holds (a pipe squatter, a stale socket
// of a live process) only costs the windows, and every poll tick tries again.
class ServiceChannel {
public:
    using Listen = std::function<std::unique_ptr<ChannelServer>(ChannelServer::Events, std::string& error)>;
    ServiceChannel(ServiceHost& host, Listen listen, std::function<void(const std::string&)> log)
        : host_(host), listen_(std::move(listen)), log_(std::move(log)) {}
    ~ServiceChannel() { close(); }
    ServiceChannel(const ServiceChannel&) = delete;
    ServiceChannel& operator=(const ServiceChannel&) = delete;

    // Opens the channel unless it is open; the first failure of an outage is logged.
    void keepOpen();
    bool open() const { return server_ != nullptr; }
    // The end: no client is heard any more.
    void close();

private:
    ServiceHost& host_;
    Listen listen_;
    std::function<void(const std::string&)> log_;
    std::unique_ptr<ChannelServer> server_;
    bool told_ = false;
};

}  // namespace zel
