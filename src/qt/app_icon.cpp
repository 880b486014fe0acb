#include "qt/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace zel {
namespace {

// A folder with a green arrow into it: backing up.
QImage drawIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, size >= 32);
    const double s = size / 64.0;
    p.scale(s, s);
    p.setPen(QPen(QColor(0, 0, 128), 3));
    p.setBrush(QColor(255, 200, 60));
    QPainterPath folder;
    folder.moveTo(4, 18);
    folder.lineTo(24, 18);
    folder.lineTo(29, 24);
    folder.lineTo(60, 24);
    folder.lineTo(60, 58);
    folder.lineTo(4, 58);
    folder.closeSubpath();
    p.drawPath(folder);
    p.setBrush(QColor(0, 150, 60));
    p.setPen(QPen(QColor(0, 80, 30), 2));
    QPolygonF arrow;
    arrow << QPointF(26, 2) << QPointF(38, 2) << QPointF(38, 26) << QPointF(48, 26) << QPointF(32, 44)
          << QPointF(16, 26) << QPointF(26, 26);
    p.drawPolygon(arrow);
    return img;
}

// The 16 standard colours of the classic icon palette, and a 6x6x6 cube for 256 colours.
std::vector<QRgb> palette(int colours) {
    std::vector<QRgb> pal;
    if (colours == 16) {
        for (QRgb c :
             {0x000000u, 0x800000u, 0x008000u, 0x808000u, 0x000080u, 0x800080u, 0x008080u, 0xC0C0C0u,
              0x808080u, 0xFF0000u, 0x00FF00u, 0xFFFF00u, 0x0000FFu, 0xFF00FFu, 0x00FFFFu, 0xFFFFFFu})
            pal.push_back(0xFF000000u | c);
        return pal;
    }
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) pal.push_back(qRgb(r * 51, g * 51, b * 51));
    return pal;
}

QRgb nearest(QRgb c, const std::vector<QRgb>& pal) {
    QRgb best = pal.front();
    int bestDist = 1 << 30;
    for (QRgb p : pal) {
        int dr = qRed(c) - qRed(p), dg = qGreen(c) - qGreen(p), db = qBlue(c) - qBlue(p);
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = p;
        }
    }
    return best;
}

// The image limited to a palette; pixels that are mostly transparent stay transparent.
QImage withColours(const QImage& img, int colours) {
    const std::vector<QRgb> pal = palette(colours);
    QImage out(img.size(), QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            QRgb c = img.pixel(x, y);
            out.setPixel(x, y, qAlpha(c) < 128 ? qRgba(0, 0, 0, 0) : nearest(c, pal));
        }
    return out;
}

}  // namespace

std::vector<QImage> appIconImages() {
    std::vector<QImage> images;
    images.push_back(drawIcon(64).convertToFormat(QImage::Format_ARGB32));
    for (int colours : {16, 256})
        for (int size : {48, 32, 16}) images.push_back(withColours(drawIcon(size), colours));
    return images;
}

QIcon appIcon() {
    QIcon icon;
    for (const QImage& img : appIconImages()) icon.addPixmap(QPixmap::fromImage(img));
    return icon;
}

}  // namespace zel
