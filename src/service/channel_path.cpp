#include "service/channel_path.h"

namespace zel {
namespace {

std::string inFolder(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (!path.empty() && path.back() != '/') path += '/';
    return path + std::string(name);
}

}  // namespace

std::string channelFileName(std::string_view instanceKey) {
    // Beside the show request's "<key>.sock" in the user's folder: a name of its own.
    return std::string(instanceKey) + "-hizmet.sock";
}

std::string serviceChannelPath(std::string_view runtimeDirectory, std::string_view xdgRuntimeDir,
                               std::string_view programFolder, std::string_view instanceKey) {
    const std::string name = channelFileName(instanceKey);
    if (!runtimeDirectory.empty()) return inFolder(runtimeDirectory, name);
    if (!xdgRuntimeDir.empty()) return inFolder(xdgRuntimeDir, name);
    return inFolder(programFolder, name);
}

std::vector<std::string> clientChannelPaths(std::string_view xdgRuntimeDir, std::string_view programFolder,
                                            std::string_view instanceKey) {
    const std::string name = channelFileName(instanceKey);
    std::vector<std::string> paths{inFolder(kServiceRuntimeFolder, name)};
    if (!xdgRuntimeDir.empty()) paths.push_back(inFolder(xdgRuntimeDir, name));
    paths.push_back(inFolder(programFolder, name));
    return paths;
}

std::string pipeChannelPath(std::string_view instanceKey) {
    const std::size_t dash = instanceKey.rfind('-');
    return "\\\\.\\pipe\\ZELYedek-" +
           std::string(dash == std::string_view::npos ? instanceKey : instanceKey.substr(dash + 1));
}

}  // namespace zel
