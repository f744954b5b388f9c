// The least a Qt Widgets program pays here for a frame on every refresh of the screen: a window
// repaints a 40-pixel square that moves by 7 pixels a frame, at once, the way the pendulum face
// repaints its rod. bench/cpu.sh --states floor measures it beside the program.
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

class Square : public QWidget {
public:
    Square() { setAttribute(Qt::WA_OpaquePaintEvent); }
    void step()
    {
        const QRect before = at();
        x_ += dx_;
        if (x_ < 0 || x_ > width() - 40)
            dx_ = -dx_;
        repaint(QRegion(before) + at());
    }

protected:
    void paintEvent(QPaintEvent *e) override
    {
        QPainter p(this);
        p.fillRect(e->rect(), Qt::darkGray);
        p.fillRect(at(), Qt::white);
    }

private:
    QRect at() const { return {x_, 100, 40, 40}; }
    int x_ = 0, dx_ = 7;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Square square;
    square.resize(700, 500);
    square.show();
    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    const qreal hz = square.screen()->refreshRate() > 0 ? square.screen()->refreshRate() : 60.0;
    frames.setInterval(std::clamp(int(std::lround(1000.0 / hz)), 8, 33));
    QObject::connect(&frames, &QTimer::timeout, &square, [&square] { square.step(); });
    frames.start();
    return app.exec();
}
