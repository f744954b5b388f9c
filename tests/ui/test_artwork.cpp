#include "ui/artwork.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QScreen>
#include <QTest>
#include <cmath>

#include "ui/pendulum_face.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace ui::artwork;

constexpr qreal kRatios[] = {1.0, 2.0};

QImage imageOf(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

// Colour of the device pixel at the centre of logical pixel (x, y).
QColor colourAt(const QImage &image, int x, int y, qreal ratio)
{
    return image.pixelColor(int((x + 0.5) * ratio), int((y + 0.5) * ratio));
}

std::string describe(const QColor &c)
{
    return "rgb(" + std::to_string(c.red()) + ", " + std::to_string(c.green()) + ", " +
           std::to_string(c.blue()) + ")";
}

int brightest(const QColor &c) { return std::max({c.red(), c.green(), c.blue()}); }
int darkest(const QColor &c) { return std::min({c.red(), c.green(), c.blue()}); }

bool isBlack(const QColor &c) { return brightest(c) <= 6; }
bool isNearBlack(const QColor &c) { return brightest(c) <= 30; }
bool isDarkButNotBlack(const QColor &c) { return brightest(c) > 6 && brightest(c) <= 60; }
bool isRodGrey(const QColor &c)
{
    return std::abs(c.red() - 120) <= 6 && std::abs(c.green() - 120) <= 6 && std::abs(c.blue() - 120) <= 6;
}
bool isPlateBrown(const QColor &c)
{
    return std::abs(c.red() - 128) <= 3 && std::abs(c.green() - 64) <= 3 && c.blue() <= 3;
}
// Wood and brass alike: clearly lit, red over green over blue.
bool isWarm(const QColor &c) { return c.red() > 80 && c.red() > c.green() && c.green() > c.blue(); }
bool isReddish(const QColor &c)
{
    return c.red() > 100 && c.red() > 2 * c.green() && c.red() > 2 * c.blue();
}

TEST(Artwork, PicturesHaveLogicalSizeTimesRatioInDevicePixels)
{
    struct Case {
        const char *name;
        QSize logical;
        QPixmap (*render)(qreal);
    };
    const Case cases[] = {
        {"face", kFaceSize, [](qreal r) { return render(Picture::Face, r); }},
        {"weight", kWeightSize, [](qreal r) { return render(Picture::Weight, r); }},
        {"top picture", kTopPictureSize, [](qreal r) { return render(Picture::TopPicture, r); }},
        {"plate", kPlateSize, [](qreal r) { return render(Picture::Plate, r); }},
        {"lamp lit", kLampSize, [](qreal r) { return renderLamp(3, true, r); }},
        {"lamp unlit", kLampSize, [](qreal r) { return renderLamp(3, false, r); }},
    };
    for (const Case &c : cases) {
        for (const qreal ratio : kRatios) {
            SCOPED_TRACE(std::string(c.name) + " at ratio " + std::to_string(ratio));
            const QPixmap pixmap = c.render(ratio);
            EXPECT_EQ(pixmap.size(), c.logical * ratio);
            EXPECT_DOUBLE_EQ(pixmap.devicePixelRatio(), ratio);
            EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), c.logical);
        }
    }
}

TEST(Artwork, PicturesShowTheRightColoursAtKeyPoints)
{
    struct Case {
        const char *what;
        Picture picture;
        QPoint point; // logical
        bool (*expected)(const QColor &);
    };
    const Case cases[] = {
        {"face: background left of the narrow top", Picture::Face, {2, 2}, isBlack},
        {"face: background right of the narrow top", Picture::Face, {305, 2}, isBlack},
        {"face: background beside the upper case", Picture::Face, {60, 60}, isBlack},
        {"face: field behind the rod top", Picture::Face, {154, 40}, isDarkButNotBlack},
        {"face: field beside the pivot", Picture::Face, {100, 350}, isDarkButNotBlack},
        {"face: screw head at the pivot", Picture::Face, kPivot, [](const QColor &c) { return brightest(c) > 40; }},
        {"face: wood below the field", Picture::Face, {80, 420}, isWarm},
        {"face: wood of the plinth", Picture::Face, {154, 488}, isWarm},
        {"weight: rod stub above", Picture::Weight, {16, 1}, isRodGrey},
        {"weight: rod stub below", Picture::Weight, {16, 30}, isRodGrey},
        {"weight: background corner", Picture::Weight, {1, 1}, isBlack},
        {"weight: metal block", Picture::Weight, {8, 16}, [](const QColor &c) { return darkest(c) > 90; }},
        {"top picture: brass plate", Picture::TopPicture, {120, 8}, isWarm},
        {"plate: brown corner", Picture::Plate, {0, 0}, isPlateBrown},
        {"plate: brown opposite corner", Picture::Plate, {83, 21}, isPlateBrown},
        {"plate: brass", Picture::Plate, {20, 4}, isWarm},
    };
    for (const qreal ratio : kRatios) {
        const QImage images[] = {imageOf(render(Picture::Face, ratio)), imageOf(render(Picture::Weight, ratio)),
                                 imageOf(render(Picture::TopPicture, ratio)), imageOf(render(Picture::Plate, ratio))};
        for (const Case &c : cases) {
            const QColor colour = colourAt(images[int(c.picture)], c.point.x(), c.point.y(), ratio);
            EXPECT_TRUE(c.expected(colour)) << c.what << " at ratio " << ratio << " is " << describe(colour);
        }
    }
}

TEST(Artwork, LampsShowTheirNumberInWhiteOnRedOrBlack)
{
    const QPoint corners[] = {{0, 0}, {22, 0}, {0, 29}, {22, 29}};
    for (const qreal ratio : kRatios) {
        for (const bool lit : {false, true}) {
            for (int number = 1; number <= 8; ++number) {
                SCOPED_TRACE("lamp " + std::to_string(number) + (lit ? " lit" : " unlit") + " at ratio " +
                             std::to_string(ratio));
                const QImage lamp = imageOf(renderLamp(number, lit, ratio));
                for (const QPoint &corner : corners) {
                    const QColor c = colourAt(lamp, corner.x(), corner.y(), ratio);
                    EXPECT_TRUE(lit ? isReddish(c) : isNearBlack(c)) << "corner " << corner.x() << ","
                                                                     << corner.y() << " is " << describe(c);
                }
                // The figure crosses the middle of the lamp.
                int white = 0;
                for (int y = 10; y <= 19; ++y)
                    for (int x = 7; x <= 15; ++x)
                        white += darkest(colourAt(lamp, x, y, ratio)) >= 235;
                EXPECT_GE(white, 3);
            }
        }
    }
}

TEST(Artwork, LampsForDifferentNumbersDiffer)
{
    for (const bool lit : {false, true}) {
        std::vector<QImage> lamps;
        for (int number = 1; number <= 8; ++number)
            lamps.push_back(imageOf(renderLamp(number, lit, 1.0)));
        for (size_t a = 0; a < lamps.size(); ++a)
            for (size_t b = a + 1; b < lamps.size(); ++b)
                EXPECT_NE(lamps[a], lamps[b]) << "lamps " << a + 1 << " and " << b + 1 << (lit ? " lit" : " unlit");
    }
}

// The weight lies over a tilted rod while swinging: its picture is the block alone, with nothing
// above or below it (an upright rod piece would stick out of the tilted rod).
TEST(Artwork, WeightOverTheFaceHasNothingAboveOrBelowTheBlock)
{
    for (const qreal ratio : kRatios) {
        const QImage weight = renderWeightOverFace(ratio).toImage();
        int seen = 0;
        for (int y = 0; y < weight.height(); ++y) {
            const qreal logicalY = (y + 0.5) / ratio;
            if (logicalY > 6 && logicalY < 26)
                continue;
            for (int x = 0; x < weight.width(); ++x)
                seen += qAlpha(weight.pixel(x, y)) != 0;
        }
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
    const double angles[] = {0, 0.001, 0.004, 0.01, 0.03, 0.05, 0.2, 0.35, 0.5, 0.45, 0.3, 0.1, -0.1, -0.3, -0.31, -0.5};
    int step = 0;
    for (const double a : angles) {
        face.swingTo(pivot + 330 * QPointF(std::sin(a), -std::cos(a)), pivot + 200 * QPointF(std::sin(a), -std::cos(a)));
        if (++step % 4 == 0)
            compare("step " + std::to_string(step));
    }
    face.clearSwingingWeight();
    face.setPendulum(pivot, {154, 20}, QColor(120, 120, 120));
    compare("back at rest");
}

} // namespace
