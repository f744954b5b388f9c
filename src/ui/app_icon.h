#pragma once
#include <QIcon>
#include <QRectF>

class QPainter;

namespace ui {

// The program's icon: the wooden metronome case on its base, the rod swung out with its brass
// weight, drawn in filled paths only (so that the same drawing makes the pixels and the SVG) into a
// square, transparent around the case. At small sizes the rod and the marks are drawn at least
// about a pixel wide, so that they still show at 16 pixels.
void paintAppIcon(QPainter &p, const QRectF &square);

// The icon at every size, painted when asked for (window icon, title bars, task switchers).
QIcon AppIcon();

} // namespace ui
