#include "service/channel_connector.h"

namespace zel {

ChannelConnector channelConnector(std::vector<std::string> paths, std::chrono::milliseconds timeout) {
    return [paths = std::move(paths), timeout](ChannelClient::Events events, std::string& error) {
        std::unique_ptr<ChannelClient> channel;
        for (const std::string& path : paths) {
            std::string why;
            channel = connectToChannel(path, timeout, events, why);
            if (channel) return channel;
            // A service that is there but not for this user outweighs the places where none is.
            if (why == kChannelRefused) {
                error = why;
                return channel;
            }
            error = path + ": " + why;
        }
        return channel;
    };
}

}  // namespace zel
