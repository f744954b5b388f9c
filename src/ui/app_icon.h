#pragma once
#include <QIcon>
#include <QRectF>

class QPainter;

namespace ui {

// The program's icon: the metronome case with the pendulum swung out and its weight, painted from
// the window's own artwork, centred in a square and transparent around the case.
void paintAppIcon(QPainter &p, const QRectF &square);

// The icon at every size, painted when asked for (window icon, title bars, task switchers).
QIcon AppIcon();

} // namespace ui
