// The painted pictures at device pixel ratios 1 and 2, and the face's partial repaints.
#include "ui/artwork.h"

#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <cmath>

#include "support/window_test.h"
#include "ui/pendulum_face.h"

namespace {

using namespace ui::artwork;

// The mean difference of two images of one size, in grey (0..255).
double Difference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (a.width() * a.height());
}

// At ratio 2 each picture has twice the pixels and, scaled down, is the picture at ratio 1: nothing
// drawn in logical pixels only, nothing cut off or shifted. (What they show: the screenshot.)
TEST(Artwork, PicturesAtRatio2AreThePicturesAtRatio1InFinerPixels)
{
    const QSize sizes[] = {kFaceSize, kWeightSize, kTopPictureSize, kPlateSize};
    for (int i = 0; i < 4; ++i) {
        const QPixmap one = render(Picture(i), 1.0), two = render(Picture(i), 2.0);
        EXPECT_EQ(std::pair(one.size(), two.size()), std::pair(sizes[i], sizes[i] * 2)) << "picture " << i;
        EXPECT_EQ(two.deviceIndependentSize().toSize(), sizes[i]) << "picture " << i;
        const QImage down = two.toImage().scaled(sizes[i], Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LT(Difference(one.toImage(), down), 4) << "picture " << i;
    }
}

// The weight lies over a tilted rod while swinging: its picture is the block alone, with nothing
// above or below it (an upright rod piece would stick out of the tilted rod).
TEST(Artwork, LampsShowTheirOwnNumberLitOrNotAndTheWeightOverTheFaceIsTheBlockAlone)
{
    for (const qreal ratio : {1.0, 2.0}) {
        std::vector<QImage> lamps;
        for (int number = 1; number <= 8; ++number)
            for (const bool lit : {false, true}) {
                const QPixmap lamp = renderLamp(number, lit, ratio);
                EXPECT_EQ(lamp.size(), kLampSize * ratio);
                lamps.push_back(lamp.toImage());
                const QColor c = lamps.back().pixelColor(0, 0);
                EXPECT_TRUE(lit ? c.red() > 2 * std::max(c.green(), c.blue()) : c.red() < 40) << number << " " << lit;
            }
        for (size_t i = 0; i < lamps.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                EXPECT_NE(lamps[i], lamps[j]) << "lamps " << i << " and " << j << " at ratio " << ratio;
        const QImage weight = renderWeightOverFace(ratio).toImage();
        int seen = 0;
        for (int y = 0; y < weight.height(); ++y)
            for (int x = 0; x < weight.width(); ++x)
                seen += ((y + 0.5) / ratio <= 6 || (y + 0.5) / ratio >= 26) && qAlpha(weight.pixel(x, y)) != 0;
        EXPECT_EQ(seen, 0) << "pixels outside the weight's block at ratio " << ratio;
    }
}

// The face repaints only what the rod and the weight leave and enter. What is on the screen after a
// swing in small steps must be the picture a second face, drawn once at the same pose, shows: no
// trail, nothing cut off, no step left undrawn.
TEST(PendulumFaceDrawing, PartialRepaintsEqualAFullRepaintThroughASwing)
{
    const QPointF pivot(154, 350);
    auto makeFace = [&](ui::PendulumFace &face) {
        face.resize(308, 508);
        face.setPendulum(pivot, {154, 20}, QColor(120, 120, 120));
    };
    ui::PendulumFace face;
    makeFace(face);
    face.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&face));
    auto compare = [&](const std::string &when, const QPointF *tip, const QPointF *weight) {
        QCoreApplication::processEvents();
        const QImage onScreen = face.screen()->grabWindow(face.winId()).toImage();
        ui::PendulumFace fresh;
        makeFace(fresh);
        if (tip)
            fresh.swingTo(*tip, *weight);
        EXPECT_EQ(testsupport::Differences(onScreen, fresh.grab().toImage()), "") << when;
    };
    // From the centre out to the right and back across to the left, steps from 0.3 to 6 pixels.
    const double angles[] = {0,   0.001, 0.004, 0.01, 0.03, 0.05, 0.2,   0.35,
                             0.5, 0.45,  0.3,   0.1,  -0.1, -0.3, -0.31, -0.5};
    auto at = [&](double a, double r) { return pivot + r * QPointF(std::sin(a), -std::cos(a)); };
    double shown = 0; // a move of half a pixel or more is drawn at once, a smaller one waits
    for (const double a : angles) {
        face.swingTo(at(a, 330), at(a, 200));
        const QPointF d = at(a, 330) - at(shown, 330);
        if (std::abs(d.x()) >= 0.5 || std::abs(d.y()) >= 0.5)
            shown = a;
        const QPointF tip = at(shown, 330), weight = at(shown, 200);
        compare("angle " + std::to_string(a), &tip, &weight);
    }
    face.clearSwingingWeight();
    face.setPendulum(pivot, {154, 20}, QColor(120, 120, 120));
    compare("back at rest", nullptr, nullptr);
}

} // namespace
