#pragma once

#include <string>
#include <string_view>

namespace zel {

// The path that an existing file or folder finally has, as the file system names it: symbolic
// links, junctions, `subst` and mapped drives and 8.3 short names resolved, in the long names'
// own case, without a trailing separator ("C:\Users\ali\ZEL", "\\server\share\ZEL"; "C:\" for a
// drive). Empty when it cannot be opened.
std::wstring finalPath(const std::wstring& path);

// The text that GetFinalPathNameByHandleW gives, without its "\\?\" (or "\\?\UNC\") prefix, so
// that one folder reads the same however it was reached.
std::wstring withoutLongPathPrefix(std::wstring_view path);

}  // namespace zel
