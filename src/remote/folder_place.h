#pragma once

#include <memory>
#include <string>

#include "platform/files/file_system.h"
#include "platform/files/share_session.h"
#include "remote/second_place.h"

namespace zel {

inline constexpr std::string_view kCopySuffix = ".kopya";
inline constexpr std::string_view kTrialName = "zelyedek-deneme.tmp";

// A folder as the second place: a second disk, a USB disk, a mounted share, or on Windows a share
// by its \\server\share name, reached as its own user when one is given.
class FolderPlace final : public SecondPlace {
public:
    struct Share {
        std::string user;
        std::string password;
        ShareLogon logon;
    };
    FolderPlace(FileSystem& files, std::string root, int speedLimitKb, Share share = {});

    std::string describe() const override { return root_; }
    PlaceResult begin() override;
    void end() override { session_.reset(); }
    std::optional<std::vector<PlaceItem>> list(const std::string& folder, std::string& failure) override;
    std::optional<PlaceItem> put(const std::string& folder, const std::string& name, FileReader& local,
                                 const std::atomic<bool>& stop, std::string& failure) override;
    PlaceResult prove(const std::string& folder, const std::string& name, FileReader& local,
                      const std::atomic<bool>& stop) override;
    std::unique_ptr<FileReader> open(const std::string& folder, const std::string& name) override;
    RemoveOutcome remove(const std::string& folder, const std::string& name, std::string& failure) override;
    PlaceResult setAside(const std::string& folder, const std::string& name) override;
    void cleanUp(const std::string& folder, const std::vector<std::string>& owed) override;
    std::vector<TrialStep> trial() override;

private:
    std::string path(const std::string& folder, const std::string& name) const;
    std::optional<PlaceItem> item(const std::string& folder, const std::string& name);
    // Writes the local bytes to a new file at `path`, no faster than the limit.
    // `crc`: the CRC-64 of the bytes written.
    PlaceResult write(const std::string& path, FileReader& local, const std::atomic<bool>& stop, std::uint64_t& crc);

    FileSystem& files_;
    std::string root_;
    int speedLimitKb_;
    Share share_;
    std::unique_ptr<ShareSession> session_;
};

// Whether the copy there is the local archive, which its run read back whole: the same size, the same
// entries in its central directory, and every byte the same by CRC-64 (`localCrc`: the local one's,
// when known); why not, else empty.
std::string copyProblem(FileReader& copy, FileReader& local, std::optional<std::uint64_t> localCrc);

}  // namespace zel
