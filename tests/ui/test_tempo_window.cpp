// The tempo controls in the real window (offscreen): the step buttons, the sliders, the weight drag
// and TAP move the number, the word and the weight together.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include "app/frm_metronom.h"
#include "sound/sound_output.h"
#include "fader/fader.h"
#include "tempo/tempo_model.h"
#include "ui/pendulum_face.h"

namespace {

class FakeClock : public tempo::MillisecondClock {
public:
    std::int64_t Now() const override { return now; }
    std::int64_t now = 100000;
};

// A mouse event at `pos` of `w`, the pointer at `global` (by default where `pos` is).
void Send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons,
          QPointF global = {-1, -1})
{
    QMouseEvent e(type, QPointF(pos), global.x() < 0 ? w->mapToGlobal(QPointF(pos)) : global, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class TempoWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        form.FirstRun(output);
    }
    QString bpm() const { return form.control<QLabel>("lblBPM")->text(); }
    QString word() const { return form.control<QLabel>("lblTempo")->text(); }
    int weightTop() const { return form.control("PicSlider")->y(); }
    void click(const char *name, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseClick(form.control(name), b); }
    void pressFader(const char *name, int x)
    {
        QTest::mousePress(form.control(name), Qt::LeftButton, {}, QPoint(x, 10));
        QTest::mouseRelease(form.control(name), Qt::LeftButton, {}, QPoint(x, 10));
    }
    // Presses on the weight and drags it by `dy` pixels in steps of 7 with `buttons` held.
    void dragWeight(int dy, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QWidget *w = form.control("PicSlider");
        const QPoint grip(16, 16);
        Send(w, QEvent::MouseButtonPress, grip, Qt::LeftButton, buttons);
        for (int moved = 0; moved != dy;) {
            const int d = std::clamp(dy - moved, -7, 7);
            const int before = w->y(); // positions are in the weight's own pixels, and it moves along
            Send(w, QEvent::MouseMove, grip + QPoint(0, d), Qt::NoButton, buttons);
            moved += d;
            if (w->y() == before && buttons == Qt::LeftButton)
                break; // held at a bound
        }
        Send(w, QEvent::MouseButtonRelease, grip, Qt::LeftButton, Qt::NoButton);
    }

    FakeClock clock;
    sound::SoundOutput output;
    app::FrmMetronom form{nullptr, &clock};
};

TEST_F(TempoWindowTest, StepButtonsMoveTheNumberTheWordAndTheWeightTogether)
{
    EXPECT_EQ(weightTop(), 131);
    EXPECT_EQ(form.control<ui::PendulumFace>("PicMet")->tip(), QPointF(154, 20)) << "the rod stands upright";
    click("cmdTempo(1)");
    EXPECT_EQ(bpm(), "121");
    EXPECT_EQ(weightTop(), 132);
    for (int i = 0; i < 5; ++i)
        click("cmdTempo(3)");
    EXPECT_EQ(bpm(), "171");
    EXPECT_EQ(word(), "Presto");
    EXPECT_EQ(weightTop(), *tempo::SliderTopForTempo(171));
    for (int i = 0; i < 30; ++i)
        click("cmdTempo(2)");
    EXPECT_EQ(bpm(), "1");
    EXPECT_EQ(word(), "Larghissimo");
    EXPECT_EQ(weightTop(), 24) << "a tempo below the scale puts the weight at its slow end";
    EXPECT_DOUBLE_EQ(form.Tempo().PhaseRate(), tempo::PhaseRateForBpm(1, 30.5));
}

TEST_F(TempoWindowTest, TheTempoSliderFollowsTheTempoAndSetsIt)
{
    auto *fader1 = form.control<fader::Fader>("Fader1");
    EXPECT_EQ(fader1->Value(), 119);
    click("cmdTempo(3)");
    EXPECT_EQ(fader1->Value(), 129);
    pressFader("Fader1", 107); // the slider's button centre there: value 121, tempo 122
    EXPECT_EQ(fader1->Value(), 121);
    EXPECT_EQ(bpm(), "122");
    EXPECT_EQ(weightTop(), *tempo::SliderTopForTempo(122));
    pressFader("Fader1", 0);
    EXPECT_EQ(bpm(), "1");
    EXPECT_EQ(word(), "Larghissimo");
}

TEST_F(TempoWindowTest, DraggingTheWeightWithTheLeftButtonAloneSetsTheTempoItShows)
{
    for (Qt::MouseButtons held : {Qt::MouseButtons(Qt::RightButton), Qt::MouseButtons(Qt::MiddleButton),
                                  Qt::MouseButtons(Qt::LeftButton | Qt::RightButton)}) {
        dragWeight(-20, held);
        EXPECT_EQ(weightTop(), 131);
    }
    dragWeight(-20);
    EXPECT_EQ(weightTop(), 111);
    EXPECT_EQ(bpm(), QString::number(tempo::BpmFromSliderTop(111)));
    EXPECT_EQ(form.control<fader::Fader>("Fader1")->Value(), tempo::BpmFromSliderTop(111) - 1);
    dragWeight(-200); // up to the bound and no further
    EXPECT_GE(weightTop(), 24);
    EXPECT_LT(weightTop(), 24 + 7);
    EXPECT_EQ(bpm(), QString::number(tempo::BpmFromSliderTop(weightTop())));
    dragWeight(300);
    EXPECT_LE(weightTop(), 296);
    EXPECT_GT(weightTop(), 296 - 7);
}

TEST_F(TempoWindowTest, TappingShowsTheSeriesAndRightClickHidesTheTrend)
{
    for (int i = 0; i < 3; ++i, clock.now += 1000)
        click("Tap");
    EXPECT_EQ(bpm(), "60");
    EXPECT_EQ(word(), "Larghetto");
    EXPECT_EQ(weightTop(), 65);
    EXPECT_EQ(form.control<QLabel>("Label1")->text(), "60");
    for (const char *name : {"Label1", "Label2", "Label3"})
        EXPECT_TRUE(form.control(name)->isVisible()) << name;
    Send(form.control("Tap"), QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    Send(form.control("Tap"), QEvent::MouseButtonRelease, {5, 5}, Qt::RightButton, Qt::LeftButton);
    EXPECT_EQ(form.TapSeries().Series().size(), 3u) << "the right button with the left held taps";
    for (int i = 0; i < 3; ++i) { // taps 100 ms apart: 600 played as the fastest the weight shows
        clock.now += 100;
        click("Tap");
    }
    EXPECT_EQ(bpm(), "271");
    EXPECT_EQ(form.Tempo().Bpm(), 271);
    EXPECT_EQ(form.control<fader::Fader>("Fader1")->Value(), 249);

    click("Tap", Qt::RightButton);
    for (const char *name : {"Label1", "Label2", "Label3"})
        EXPECT_FALSE(form.control(name)->isVisible()) << name;
    EXPECT_TRUE(form.TapSeries().Series().empty());
    EXPECT_EQ(bpm(), "271") << "a reset leaves the tempo";
}

TEST_F(TempoWindowTest, DraggingTheFaceMovesTheWindowOneToOne)
{
    QWidget *face = form.control("PicMet");
    const QPoint start = form.pos(), grip(60, 450);
    for (Qt::MouseButton held : {Qt::LeftButton, Qt::RightButton}) {
        const QPointF to = face->mapToGlobal(QPointF(grip)) + QPointF(30, 20);
        Send(face, QEvent::MouseButtonPress, grip, held, held);
        Send(face, QEvent::MouseMove, grip, Qt::NoButton, held, to);
        Send(face, QEvent::MouseButtonRelease, grip, held, {}, to);
    }
    EXPECT_EQ(form.pos(), start + QPoint(60, 40));
}

} // namespace
