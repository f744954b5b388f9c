// The painted pictures at device pixel ratios 1 and 2, and the face's partial repaints.
#include "ui/artwork.h"

#include <QScreen>
#include <cmath>

#include "support/window_test.h"
#include "ui/controls.h"
#include "ui/pendulum_face.h"

namespace {

using namespace ui::artwork;
using testsupport::Difference;

// At ratio 2 each picture has twice the pixels and, scaled down, is the picture at ratio 1: nothing
// drawn in logical pixels only, nothing cut off or shifted. (What they show: the screenshot.)
TEST(Artwork, PicturesAtRatio2AreThePicturesAtRatio1InFinerPixels)
{
    for (int i = 0; i < 4; ++i) {
        const QPixmap one = render(Picture(i), 1.0), two = render(Picture(i), 2.0);
        EXPECT_EQ(two.size(), one.size() * 2) << "picture " << i;
        EXPECT_EQ(two.deviceIndependentSize(), QSizeF(one.size())) << "picture " << i;
        const QImage down = two.toImage().scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
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
                lamps.push_back(renderLamp(number, lit, ratio).toImage());
                EXPECT_EQ(lamps.back().size(), kLampSize * ratio);
                const QColor c = lamps.back().pixelColor(0, 0);
                EXPECT_TRUE(lit ? c.red() > 2 * std::max(c.green(), c.blue()) : c.red() < 40) << number << " " << lit;
                for (size_t j = 0; j + 1 < lamps.size(); ++j)
                    EXPECT_NE(lamps[j], lamps.back()) << "lamp " << number << " " << lit << " at ratio " << ratio;
            }
        const QImage weight = renderWeightOverFace(ratio).toImage();
        int seen = 0;
        for (int y = 0; y < weight.height(); ++y)
            for (int x = 0; x < weight.width(); ++x)
                seen += ((y + 0.5) / ratio <= 6 || (y + 0.5) / ratio >= 26) && qAlpha(weight.pixel(x, y)) != 0;
        EXPECT_EQ(seen, 0) << "pixels outside the weight's block at ratio " << ratio;
    }
}

// The big numbers, drawn once per text and then copied, look as a plain label draws them: a text
// again while it is kept, and again after more texts than are kept.
TEST(LargeLabelDrawing, EachTextLooksAsAPlainLabelDrawsIt)
{
    ui::LargeLabel large;
    QLabel plain;
    for (QLabel *l : {static_cast<QLabel *>(&large), &plain}) {
        l->setFont(QFont(QStringLiteral("Liberation Sans"), 60, QFont::Bold));
        l->resize(160, 90);
        l->show(); // as in the window: a hidden one is drawn afresh each time
    }
    for (int n : {1, 2, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 2, 271, 15}) {
        large.setText(QString::number(n));
        plain.setText(QString::number(n));
        EXPECT_LT(Difference(large.grab().toImage(), plain.grab().toImage()), 0.5) << n;
    }
}

// Through a swing in small steps (a move below half a pixel waits) the screen shows what a second
// face drawn once at that pose shows: no trail, nothing cut off, no step left undrawn.
TEST(PendulumFaceDrawing, PartialRepaintsEqualAFullRepaintThroughASwing)
{
    const QPointF pivot(154, 350);
    auto atRest = [&](ui::PendulumFace &f) {
        f.resize(308, 508);
        f.setPendulum(pivot, {154, 20}, QColor(120, 120, 120));
    };
    auto at = [&](double a, double r) { return pivot + r * QPointF(std::sin(a), -std::cos(a)); };
    ui::PendulumFace face;
    atRest(face);
    face.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&face));
    auto compare = [&](double angle, bool swinging) {
        QCoreApplication::processEvents();
        const QImage onScreen = face.screen()->grabWindow(face.winId()).toImage();
        ui::PendulumFace fresh;
        atRest(fresh);
        if (swinging)
            fresh.swingTo(at(angle, 330), at(angle, 200));
        EXPECT_EQ(Difference(onScreen, fresh.grab().toImage()), 0.0) << "angle " << angle << " " << swinging;
    };
    // From the centre out to the right and back across to the left, steps from 0.3 to 6 pixels.
    double shown = 0;
    for (const double a :
         {0.0, 0.001, 0.004, 0.01, 0.03, 0.05, 0.2, 0.35, 0.5, 0.45, 0.3, 0.1, -0.1, -0.3, -0.31, -0.5}) {
        face.swingTo(at(a, 330), at(a, 200));
        const QPointF d = at(a, 330) - at(shown, 330);
        if (std::abs(d.x()) >= 0.5 || std::abs(d.y()) >= 0.5)
            shown = a;
        compare(shown, true);
    }
    face.clearSwingingWeight();
    atRest(face);
    compare(0, false);
}

} // namespace
