// The pendulum rod as the face draws it, against Qt's own antialiased wide line of the same rod.
#include "ui/rod_raster.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <cmath>

namespace {

// Through the swing and past it, at ratios 1 and 2 and fractional positions, the rod is Qt's to a few
// levels on an edge pixel (width, colour, flat ends); painted band by band it is the rod at once.
TEST(RodRaster, TheRodIsQtsWideLineToAFewLevelsAndBandsJoinSeamlessly)
{
    const QColor ground(40, 20, 10), rod(120, 120, 120);
    for (const double ratio : {1.0, 2.0})
        for (double angle = -1.2; angle <= 1.25; angle += 0.2)
            for (const double sub : {0.0, 0.3, 0.75}) {
                const QPointF pivot = QPointF(350 + sub, 350 + sub / 2) * ratio;
                const QPointF tip = pivot + 330 * ratio * QPointF(std::sin(angle), -std::cos(angle));
                QImage qt(QSize(700, 400) * ratio, QImage::Format_RGB32);
                qt.fill(ground);
                QImage ours = qt.copy(), banded = qt.copy();
                {
                    QPainter p(&qt);
                    p.setRenderHint(QPainter::Antialiasing);
                    p.setPen(QPen(rod, 5 * ratio, Qt::SolidLine, Qt::FlatCap));
                    p.drawLine(pivot, tip);
                }
                const ui::rod::Bar bar(pivot, tip, 5 * ratio, rod.rgb());
                bar.Paint(ours, ours.rect());
                for (int y = -7; y < banded.height(); y += 32)
                    for (int x = -5; x < banded.width(); x += 41)
                        bar.Paint(banded, QRect(x, y, 41, 32));
                int worst = 0, inked = 0;
                for (int y = 0; y < qt.height(); ++y)
                    for (int x = 0; x < qt.width(); ++x) {
                        worst = std::max(worst, std::abs(qGreen(qt.pixel(x, y)) - qGreen(ours.pixel(x, y))));
                        inked += ours.pixel(x, y) == rod.rgb();
                    }
                const auto where = testing::Message() << "ratio " << ratio << ", angle " << angle << ", " << sub;
                EXPECT_LE(worst, 8) << where;
                EXPECT_GT(inked, 330 * ratio * (5 * ratio - 3)) << where << ": the rod's core";
                EXPECT_EQ(banded, ours) << where;
            }
}

} // namespace
