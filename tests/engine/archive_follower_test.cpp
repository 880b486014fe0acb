#include "engine/archive_follower.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zel {
namespace {

TEST(ArchiveFollower, ZipsWorkFileIsTheNewNameOfItsShape) {
    using K = FolderItem::Kind;
    const std::set<std::string> before{"zi123456", "hedef20240305.0907.zip"};
    const struct {
        FolderItem item;
        std::optional<std::string> found;
    } cases[] = {
        {{"zi123456", K::File}, std::nullopt},  // there before zip started
        {{"ziAb12Cd", K::File}, "ziAb12Cd"},
        {{"ZIAB12CD", K::File}, "ZIAB12CD"},  // as a FAT volume shows it
        {{"zi1234567", K::File}, std::nullopt},
        {{"ziabcdef", K::Folder}, std::nullopt},
        {{"xi123456", K::File}, std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(zipWorkFile(before, {c.item}), c.found) << c.item.name;
}

}  // namespace
}  // namespace zel
