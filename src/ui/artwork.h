#pragma once
#include <QPixmap>
#include <QPoint>
#include <QSize>

class QPainter;

// The program's pictures, painted with QPainter in logical pixels so that they
// stay sharp at any device pixel ratio. Every paint function covers its whole
// rectangle (0, 0, size) including the background, so the caller can paint it
// straight into a widget or into a pixmap of any device pixel ratio.
namespace ui::artwork {

// Logical sizes of the pictures.
inline constexpr QSize kFaceSize{308, 506};
inline constexpr QSize kWeightSize{32, 32};
inline constexpr QSize kLampSize{23, 30};
inline constexpr QSize kTopPictureSize{240, 60};
inline constexpr QSize kPlateSize{84, 22};

// Where the pendulum rod is fixed on the face (logical pixels of the face).
inline constexpr QPoint kPivot{154, 350};

// The metronome case, 308 x 506; without its black background it can stand on any ground.
void paintFace(QPainter &p, bool withBackground = true);
// The sliding weight, 32 x 32; without its black background it can lie over the face.
void paintWeight(QPainter &p, bool withBackground = true);
void paintLamp(QPainter &p, int number, bool lit); // 23 x 30, number 1..8
void paintTopPicture(QPainter &p);                 // 240 x 60
void paintPlate(QPainter &p);                      // 84 x 22

enum class Picture { Face, Weight, TopPicture, Plate };

// Logical size of a picture.
QSize pictureSize(Picture which);

// The picture in a pixmap of (logical size x devicePixelRatio) device pixels,
// with the given device pixel ratio set on it.
QPixmap render(Picture which, qreal devicePixelRatio);
QPixmap renderLamp(int number, bool lit, qreal devicePixelRatio);
// The weight on a transparent background, for placing over the face.
QPixmap renderWeightOverFace(qreal devicePixelRatio);

} // namespace ui::artwork
