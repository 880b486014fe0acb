#include "service/service_channel.h"

#include <utility>

namespace zel {

void ServiceChannel::keepOpen() {
    if (server_) return;
    std::string error;
    server_ = listen_(host_.channelEvents(), error);
    if (!server_) {
        if (!std::exchange(told_, true)) log_(std::string(kChannelNotOpened) + error);
        return;
    }
    if (std::exchange(told_, false)) log_("Pencere kanalı açıldı");
    host_.attach(server_.get());
}

void ServiceChannel::close() {
    host_.attach(nullptr);
    server_.reset();
}

}  // namespace zel
