#pragma once

#include <string>
#include <string_view>

namespace zel {

inline constexpr std::string_view kPrefixNotADrive = "İlk kaynak klasör bir sürücüyle başlamalı: ";

// False for a text that cannot name a folder: one with a double quote or a control character,
// which would break the command line it goes into; for a text on a drive or a share (any text on
// Windows) one with < > | ? * or a colon past the drive's; one starting with "-", which zip would
// take for an option. An empty text is an unused box, and may be.
bool isFolderText(std::string_view text);

// The text with its control characters shown as \xNN, so that what a client sent cannot break
// (or forge) the line of the run log it is told in.
std::string withVisibleControls(std::string_view text);

// "Geçersiz klasör adı: <text>", the text's control characters shown.
std::string badFolderText(std::string_view text);

// True for a tool prefix that is a drive's root ("c:\"): the only place programs are taken from.
bool isDriveRoot(std::string_view prefix);

}  // namespace zel
