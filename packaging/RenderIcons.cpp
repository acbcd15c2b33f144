// Draws the application icon in the desktop's hicolor sizes: the funnel mark in white on a rounded blue
// tile. Run at build time: vamber-render-icons OUTPUT_DIR writes OUTPUT_DIR/hicolor/NxN/apps/vamber.png.
#include "FunnelIcon.h"

#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace {

QImage tile(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0.5, 0.5, size - 1.0, size - 1.0);
    QLinearGradient ground(box.topLeft(), box.bottomLeft());
    ground.setColorAt(0, QColor(0x3b, 0x82, 0xf0));
    ground.setColorAt(1, QColor(0x1d, 0x4e, 0xc2));
    QPainterPath shape;
    shape.addRoundedRect(box, size * 0.22, size * 0.22);
    painter.fillPath(shape, ground);
    const qreal inset = size * 0.16;
    FunnelIcon::paint(painter, QRectF(inset, inset, size - 2 * inset, size - 2 * inset), Qt::white);
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(folder) || !tile(size).save(out.filePath(folder + QStringLiteral("/vamber.png")))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(folder)));
            return 1;
        }
    }
    return 0;
}
