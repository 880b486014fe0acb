#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files/file_system.h"

namespace zel {

// One name in a folder of the second place, as its listing gives it.
struct PlaceItem {
    std::string name;
    std::uint64_t size = 0;
    // Changes whenever the content is written again (a folder: size and modification time; S3: the
    // ETag): a copy proven once needs no new proof while its stamp stays.
    std::string stamp;
    bool operator==(const PlaceItem&) const = default;
};

// What an operation on the second place ended with: done, or why not (the server's own words where
// it gave any, never a secret).
struct PlaceResult {
    std::string failure;
    explicit operator bool() const { return failure.empty(); }
};

enum class RemoveOutcome { Removed, Locked, Failed };

// One step of "Deneme" and how it went: "Yazma", "Okuma", "Silme"; failure empty when it went well.
struct TrialStep {
    std::string what;
    std::string failure;
};

// Where every verified archive also goes: a folder (a second disk, a USB disk, a share) or a bucket
// of S3-compatible storage. Each target folder of the window has a folder of its own there, named by
// the program (placeFolderName); names are archive names. Every call may block on the network; they
// run on the copier's thread, one at a time.
class SecondPlace {
public:
    virtual ~SecondPlace() = default;
    // The place as the log names it; never a secret.
    virtual std::string describe() const = 0;
    // Around each pass over the place: a share's connection under its own user, made and dropped.
    virtual PlaceResult begin() { return {}; }
    virtual void end() {}
    // The names in one of its folders (a folder not made yet is empty); nothing, with `failure` set,
    // when it cannot be listed.
    virtual std::optional<std::vector<PlaceItem>> list(const std::string& folder, std::string& failure) = 0;
    // Puts the local archive there under `name`, replacing what stands there, and proves it: a
    // folder writes a temporary name, flushes it, renames it and reads it back whole; S3 sends it
    // with its checksum and compares the object's size (and ETag) by HEAD. Proven: the stamp of the
    // copy. `stop` cuts it; what a cut leaves is cleaned up or overwritten later, never taken for a copy.
    virtual std::optional<PlaceItem> put(const std::string& folder, const std::string& name, FileReader& local,
                                         const std::atomic<bool>& stop, std::string& failure) = 0;
    // Proves a copy that is already there against the local archive, as put proves its own.
    virtual PlaceResult prove(const std::string& folder, const std::string& name, FileReader& local,
                              const std::atomic<bool>& stop) = 0;
    // Reads a copy there (its central directory tells whose it is); nullptr when it cannot be opened.
    virtual std::unique_ptr<FileReader> open(const std::string& folder, const std::string& name) = 0;
    // Deletes a copy; Locked when the store keeps it until its lock's date.
    virtual RemoveOutcome remove(const std::string& folder, const std::string& name, std::string& failure) = 0;
    // A copy that failed its proof gives up its name: a folder renames it <name>.bozuk (never over an
    // existing file), S3 deletes it.
    virtual PlaceResult setAside(const std::string& folder, const std::string& name) = 0;
    // Removes what cut copies left in the folder: temporary files, and unfinished uploads of names
    // other than `owed` (an upload of an owed name is taken up again by its next put).
    virtual void cleanUp(const std::string& /*folder*/, const std::vector<std::string>& /*owed*/) {}
    // "Deneme": writes a small file named so that no archive rule takes it for one, reads it back,
    // deletes it; every step it reached, in order.
    virtual std::vector<TrialStep> trial() = 0;
};

}  // namespace zel
