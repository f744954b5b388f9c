// Paints the program's icon into an icon theme folder: DIR/hicolor/scalable/apps/ID.svg and
// DIR/hicolor/NxN/apps/ID.png for the usual sizes. Run by the build; usage: icongen DIR ID
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>

#include "ui/app_icon.h"

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: icongen DIR ID\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor/");
    const QString id = QString::fromLocal8Bit(argv[2]);

    const QString scalable = root + QStringLiteral("scalable/apps/");
    QDir().mkpath(scalable);
    QSvgGenerator svg;
    svg.setFileName(scalable + id + QStringLiteral(".svg"));
    svg.setSize(QSize(256, 256));
    svg.setViewBox(QRect(0, 0, 256, 256));
    svg.setTitle(QStringLiteral("Metronom"));
    {
        QPainter p(&svg);
        ui::paintAppIcon(p, QRectF(0, 0, 256, 256));
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString folder = root + QStringLiteral("%1x%1/apps/").arg(size);
        QDir().mkpath(folder);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter p(&image);
            ui::paintAppIcon(p, QRectF(0, 0, size, size));
        }
        if (!image.save(folder + id + QStringLiteral(".png"))) {
            std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
