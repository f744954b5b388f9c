// The painted pictures at device pixel ratios 1 and 2: their size, and the right colours at key points.
#include "ui/artwork.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <cmath>

#include "ui/pendulum_face.h"

namespace {

using namespace ui::artwork;

// The colour of the device pixel at the centre of logical pixel `p`.
QColor At(const QPixmap &p, QPoint at)
{
    const qreal r = p.devicePixelRatio();
    return p.toImage().pixelColor(int((at.x() + 0.5) * r), int((at.y() + 0.5) * r));
}
int Max(const QColor &c) { return std::max({c.red(), c.green(), c.blue()}); }
int Min(const QColor &c) { return std::min({c.red(), c.green(), c.blue()}); }
bool PlateBrown(const QColor &c)
{
    return std::abs(c.red() - 128) <= 3 && std::abs(c.green() - 64) <= 3 && c.blue() <= 3;
}
bool Warm(const QColor &c) { return c.red() > 80 && c.red() > c.green() && c.green() > c.blue(); } // wood, brass

TEST(Artwork, PicturesHaveTheirSizeAndColoursAtEveryRatio)
{
    const QSize sizes[] = {kFaceSize, kWeightSize, kTopPictureSize, kPlateSize};
    const struct {
        Picture picture;
        QPoint point; // logical
        bool (*expected)(const QColor &);
    } cases[] = {{Picture::Face, {2, 2}, [](const QColor &c) { return Max(c) <= 6; }},                   // black
                 {Picture::Face, {154, 40}, [](const QColor &c) { return Max(c) > 6 && Max(c) <= 60; }}, // dark field
                 {Picture::Face, kPivot, [](const QColor &c) { return Max(c) > 40; }}, // the screw head
                 {Picture::Face, {80, 420}, Warm},
                 {Picture::Weight, {16, 1}, [](const QColor &c) { return Min(c) >= 114 && Max(c) <= 126; }}, // the rod
                 {Picture::Weight, {8, 16}, [](const QColor &c) { return Min(c) > 90; }}, // the metal block
                 {Picture::TopPicture, {120, 8}, Warm},
                 {Picture::Plate, {0, 0}, PlateBrown},
                 {Picture::Plate, {20, 4}, Warm}};
    for (const qreal ratio : {1.0, 2.0}) {
        for (int i = 0; i < 4; ++i) {
            const QPixmap p = render(Picture(i), ratio);
            EXPECT_EQ(p.size(), sizes[i] * ratio) << "picture " << i;
            EXPECT_EQ(p.deviceIndependentSize().toSize(), sizes[i]) << "picture " << i;
        }
        for (const auto &c : cases)
            EXPECT_TRUE(c.expected(At(render(c.picture, ratio), c.point)))
                << "picture " << int(c.picture) << " at " << c.point.x() << "," << c.point.y() << " ratio " << ratio;
    }
}

// Each lamp: red when lit, near black when not, its own white number across the middle.
TEST(Artwork, LampsShowTheirOwnNumberInWhiteOnRedOrBlack)
{
    for (const qreal ratio : {1.0, 2.0}) {
        for (const bool lit : {false, true}) {
            std::vector<QImage> lamps;
            for (int number = 1; number <= 8; ++number) {
                SCOPED_TRACE(::testing::Message() << "lamp " << number << " lit " << lit << " ratio " << ratio);
                const QPixmap lamp = renderLamp(number, lit, ratio);
                EXPECT_EQ(lamp.size(), kLampSize * ratio);
                for (const QPoint corner : {QPoint(0, 0), QPoint(22, 0), QPoint(0, 29), QPoint(22, 29)}) {
                    const QColor c = At(lamp, corner);
                    EXPECT_TRUE(lit ? c.red() > 100 && c.red() > 2 * c.green() && c.red() > 2 * c.blue()
                                    : Max(c) <= 30);
                }
                int white = 0;
                for (int y = 10; y <= 19; ++y)
                    for (int x = 7; x <= 15; ++x)
                        white += Min(At(lamp, {x, y})) >= 235;
                EXPECT_GE(white, 3);
                lamps.push_back(lamp.toImage());
                for (int other = 0; other + 1 < number; ++other)
                    EXPECT_NE(lamps[other], lamps.back()) << "same as lamp " << other + 1;
            }
        }
    }
}

// The weight lies over a tilted rod while swinging: its picture is the block alone, with nothing
// above or below it (an upright rod piece would stick out of the tilted rod).
TEST(Artwork, WeightOverTheFaceHasNothingAboveOrBelowTheBlock)
{
    for (const qreal ratio : {1.0, 2.0}) {
        const QImage weight = renderWeightOverFace(ratio).toImage();
        int seen = 0;
        for (int y = 0; y < weight.height(); ++y)
            for (int x = 0; x < weight.width(); ++x)
                seen += ((y + 0.5) / ratio <= 6 || (y + 0.5) / ratio >= 26) && qAlpha(weight.pixel(x, y)) != 0;
        EXPECT_EQ(seen, 0) << "pixels outside the block at ratio " << ratio;
    }
}

// The face repaints only what the rod and the weight leave and enter. What is on the screen after a
// swing in small steps must be the very picture a full repaint gives: no trail, nothing cut off.
TEST(PendulumFaceDrawing, PartialRepaintsEqualAFullRepaintThroughASwing)
{
    ui::PendulumFace face;
    face.resize(308, 508);
    const QPointF pivot(154, 350);
    face.setPendulum(pivot, {154, 20}, QColor(120, 120, 120));
    face.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&face));
    auto compare = [&](const std::string &when) {
        QCoreApplication::processEvents();
        const QImage onScreen = face.screen()->grabWindow(face.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage full = face.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(onScreen.size(), full.size()) << when;
        int differ = 0;
        QPoint first;
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x)
                if (onScreen.pixel(x, y) != full.pixel(x, y) && differ++ == 0)
                    first = {x, y};
        EXPECT_EQ(differ, 0) << when << ": first at " << first.x() << "," << first.y();
    };
    // From the centre out to the right and back across to the left, steps from 0.3 to 6 pixels.
    const double angles[] = {0,   0.001, 0.004, 0.01, 0.03, 0.05, 0.2,   0.35,
                             0.5, 0.45,  0.3,   0.1,  -0.1, -0.3, -0.31, -0.5};
    int step = 0;
    for (const double a : angles) {
        face.swingTo(pivot + 330 * QPointF(std::sin(a), -std::cos(a)),
                     pivot + 200 * QPointF(std::sin(a), -std::cos(a)));
        if (++step % 4 == 0)
            compare("step " + std::to_string(step));
    }
    face.clearSwingingWeight();
    face.setPendulum(pivot, {154, 20}, QColor(120, 120, 120));
    compare("back at rest");
}

} // namespace
