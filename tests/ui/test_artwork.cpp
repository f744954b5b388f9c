// The painted pictures at device pixel ratios 1 and 2: their size, and the right colours at key points.
#include "ui/artwork.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include <algorithm>

namespace {

using namespace ui::artwork;

QImage ImageOf(const QPixmap &p) { return p.toImage().convertToFormat(QImage::Format_RGB32); }
// The colour of the device pixel at the centre of logical pixel `p`.
QColor At(const QImage &image, QPoint p, qreal ratio)
{
    return image.pixelColor(int((p.x() + 0.5) * ratio), int((p.y() + 0.5) * ratio));
}
int Max(const QColor &c) { return std::max({c.red(), c.green(), c.blue()}); }
int Min(const QColor &c) { return std::min({c.red(), c.green(), c.blue()}); }
bool Black(const QColor &c) { return Max(c) <= 6; }
bool DarkField(const QColor &c) { return Max(c) > 6 && Max(c) <= 60; }
bool RodGrey(const QColor &c) { return Min(c) >= 114 && Max(c) <= 126; }
bool PlateBrown(const QColor &c) { return std::abs(c.red() - 128) <= 3 && std::abs(c.green() - 64) <= 3 && c.blue() <= 3; }
bool Warm(const QColor &c) { return c.red() > 80 && c.red() > c.green() && c.green() > c.blue(); } // wood, brass
bool Red(const QColor &c) { return c.red() > 100 && c.red() > 2 * c.green() && c.red() > 2 * c.blue(); }

TEST(Artwork, PicturesHaveTheirSizeAndColoursAtEveryRatio)
{
    const QSize sizes[] = {kFaceSize, kWeightSize, kTopPictureSize, kPlateSize};
    const struct {
        Picture picture;
        QPoint point; // logical
        bool (*expected)(const QColor &);
    } cases[] = {
        {Picture::Face, {2, 2}, Black},         {Picture::Face, {305, 2}, Black},     {Picture::Face, {60, 60}, Black},
        {Picture::Face, {154, 40}, DarkField},  {Picture::Face, {100, 350}, DarkField},
        {Picture::Face, kPivot, [](const QColor &c) { return Max(c) > 40; }}, // the screw head
        {Picture::Face, {80, 420}, Warm},       {Picture::Face, {154, 488}, Warm},
        {Picture::Weight, {16, 1}, RodGrey},    {Picture::Weight, {16, 30}, RodGrey}, {Picture::Weight, {1, 1}, Black},
        {Picture::Weight, {8, 16}, [](const QColor &c) { return Min(c) > 90; }}, // the metal block
        {Picture::TopPicture, {120, 8}, Warm},  {Picture::Plate, {0, 0}, PlateBrown}, {Picture::Plate, {83, 21}, PlateBrown},
        {Picture::Plate, {20, 4}, Warm}
    };
    for (const qreal ratio : {1.0, 2.0}) {
        QImage images[4];
        for (int i = 0; i < 4; ++i) {
            const QPixmap p = render(Picture(i), ratio);
            EXPECT_EQ(p.size(), sizes[i] * ratio) << "picture " << i;
            EXPECT_EQ(p.deviceIndependentSize().toSize(), sizes[i]) << "picture " << i;
            images[i] = ImageOf(p);
        }
        for (const auto &c : cases) {
            const QColor colour = At(images[int(c.picture)], c.point, ratio);
            EXPECT_TRUE(c.expected(colour)) << "picture " << int(c.picture) << " at " << c.point.x() << ","
                                            << c.point.y() << " ratio " << ratio << " is " << colour.name().toStdString();
        }
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
                const QPixmap pixmap = renderLamp(number, lit, ratio);
                EXPECT_EQ(pixmap.size(), kLampSize * ratio);
                lamps.push_back(ImageOf(pixmap));
                for (const QPoint corner : {QPoint(0, 0), QPoint(22, 0), QPoint(0, 29), QPoint(22, 29)})
                    EXPECT_TRUE(lit ? Red(At(lamps.back(), corner, ratio)) : Max(At(lamps.back(), corner, ratio)) <= 30);
                int white = 0;
                for (int y = 10; y <= 19; ++y)
                    for (int x = 7; x <= 15; ++x)
                        white += Min(At(lamps.back(), {x, y}, ratio)) >= 235;
                EXPECT_GE(white, 3);
                for (int other = 0; other + 1 < number; ++other)
                    EXPECT_NE(lamps[other], lamps.back()) << "same as lamp " << other + 1;
            }
        }
    }
}

} // namespace
