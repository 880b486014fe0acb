#include "platform/system/single_instance.h"

namespace zel {

std::string instanceKey(std::string_view canonicalProgramFolder) {
    // FNV-1a, 64 bits: stable across runs and platforms, unlike std::hash.
    std::uint64_t h = 1469598103934665603ULL;
    auto add = [&h](std::string_view text) {
        for (unsigned char c : text) {
            h ^= c;
            h *= 1099511628211ULL;
        }
    };
    add(canonicalProgramFolder);
    static const char* const kHex = "0123456789abcdef";
    std::string key = "zelyedek-";
    for (int shift = 60; shift >= 0; shift -= 4) key += kHex[(h >> shift) & 0xF];
    return key;
}

}  // namespace zel
