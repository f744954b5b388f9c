#pragma once
// The real window, shown offscreen with its sound output and a tap clock the test sets, and what
// the window tests do with it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>

#include "app/frm_metronom.h"
#include "practice/practice_tools.h"
#include "sound/sound_output.h"
#include "tempo/tap_tempo.h"

// Failures print texts as texts.
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace testsupport {

// The mean over the pixels of two pictures of their largest difference in a colour channel
// (0..255): 0 only for the same colours pixel for pixel; 255 when their sizes differ.
inline double Difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum +=
                std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return sum / (a.width() * a.height());
}

class FakeClock : public tempo::MillisecondClock {
public:
    std::int64_t Now() const override { return now; }
    std::int64_t now = 100000;
};

// A mouse event at `pos` of `w`.
inline void Send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }
    // A new window, shown and set up as at the program's start (which reads the remembered settings),
    // its sound through `host` when given.
    void open(std::unique_ptr<sound::AudioHost> host = nullptr)
    {
        form = std::make_unique<app::FrmMetronom>(nullptr, &clock);
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        output = std::make_unique<sound::SoundOutput>(std::move(host));
        form->FirstRun(*output);
    }
    void close()
    {
        form->close();
        form.reset();
        output.reset();
    }
    // What a label, a button or a chooser shows.
    QString text(const char *name) const
    {
        if (auto *l = form->control<QLabel>(name))
            return l->text();
        if (auto *b = form->control<QAbstractButton>(name))
            return b->text();
        return form->control<QComboBox>(name)->currentText();
    }
    void click(const char *name, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseClick(form->control(name), b); }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = {}) { QTest::keyClick(form->windowHandle(), k, mods); }
    // The practice menu's entry whose text begins with `start`.
    QAction *entry(const QString &start) const
    {
        for (QAction *a : form->Practice().Menu()->actions())
            if (a->text().startsWith(start))
                return a;
        ADD_FAILURE() << "no menu entry " << start.toStdString();
        return nullptr;
    }

    FakeClock clock;
    std::unique_ptr<sound::SoundOutput> output;
    std::unique_ptr<app::FrmMetronom> form;
};

} // namespace testsupport
