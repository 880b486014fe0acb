#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zel {

// The settings file is single-byte text: the system's ANSI code page on Windows, Windows-1254
// (Turkish) elsewhere. Every byte reads as some character and writes back as the same byte, those
// the code page leaves undefined too. A text with a character the code page lacks (or no valid
// UTF-8) converts to nothing: a file that says something else than the window is never written.
std::optional<std::string> toCodePage(std::string_view utf8);
std::string fromCodePage(std::string_view bytes);

}  // namespace zel
