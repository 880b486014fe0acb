#pragma once

#include <QIcon>
#include <QImage>
#include <vector>

namespace zel {

// The program's own icon in its seven images: 64 px at 24 bits, and 48, 32, 16 px each at
// 16 colours and at 256 colours.
std::vector<QImage> appIconImages();
QIcon appIcon();

}  // namespace zel
