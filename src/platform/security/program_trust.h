#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zel {

// Who other than the administrators (root and the service's own user; on Windows SYSTEM,
// Administrators, TrustedInstaller and the service's account) may change the program at
// `nativePath`, or replace it through a folder above it: "<place>: <who>", empty when nobody
// may. Every place on the way as written counts, each link and the way it leads; a program that
// is not there cannot be run ("<place>: bulunamadı") unless a folder on the way is already
// others' to write, which is told first.
std::string untrustedWriters(const std::string& nativePath);

// One place on the way down to a program, as stat gives it.
struct PlaceMode {
    std::string path;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint32_t mode = 0;  // st_mode's permission bits, the sticky bit included
};

// The rule on Linux, over the places from "/" down to the program: each must belong to a
// trusted user and give no write to its group or to others, but for a sticky folder (/tmp),
// where others cannot touch what a trusted user owns in it.
std::string untrustedWritersOf(const std::vector<PlaceMode>& places, const std::vector<std::uint32_t>& trusted);

}  // namespace zel
