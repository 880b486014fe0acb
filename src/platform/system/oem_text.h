#pragma once

#include <string>
#include <string_view>

namespace zel {

// A name as zip stores it without a Unicode mark, in UTF-8: on Windows Info-ZIP writes such names
// in the OEM code page; elsewhere it keeps the bytes the file system gave it.
std::string zipStoredNameToUtf8(std::string_view stored);

}  // namespace zel
