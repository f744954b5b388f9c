#include "ui/artwork.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QRect>

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

} // namespace
