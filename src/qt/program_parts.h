#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/native_file_system.h"
#include "platform/files/path_map.h"
#include "platform/files/program_folder.h"
#include "platform/processes/process.h"
#include "platform/system/single_instance.h"
#include "service/channel_path.h"

namespace zel {

// What every way of starting works with: the program folder, its drives and the channel's name.
struct ProgramParts {
    std::string folder = executableFolder();
    // Drive letters map to folders under "drives" beside the executable.
    PathMap paths{folder + "/drives"};
    std::string key = instanceKey(folder);

    static std::string environment(const char* name) {
        const char* value = std::getenv(name);
        return value ? value : "";
    }
    std::vector<std::string> clientChannels() const {
        return clientChannelPaths(environment("XDG_RUNTIME_DIR"), folder, key);
    }
    std::string serviceChannel() const {
        return serviceChannelPath(environment("RUNTIME_DIRECTORY"), environment("XDG_RUNTIME_DIR"), folder,
                                  key);
    }
    // The service's own lock, beside its socket, where no other user may write.
    std::string serviceLock() const {
        std::string path = serviceChannel();
        return path.substr(0, path.rfind('.')) + ".lock";
    }
};

}  // namespace zel
