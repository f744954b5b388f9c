// The tempo controls in the real window (offscreen): the step buttons, the weight drag and TAP move
// the number, the word and the weight together.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "app/frm_metronom.h"
#include "sound/sound_output.h"
#include "fader/fader.h"
#include "tempo/tempo_model.h"
#include "ui/controls.h"
#include "ui/pendulum_face.h"

namespace {

class FakeClock : public tempo::MillisecondClock {
public:
    std::int64_t Now() const override { return now; }
    std::int64_t now = 100000;
};

void Send(QWidget *w, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
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
    void click(const char *name, Qt::MouseButton b = Qt::LeftButton)
    {
        QTest::mouseClick(form.control(name), b);
    }
    // Presses on the weight and drags it by `dy` pixels in steps with `buttons` held.
    void dragWeight(int dy, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QWidget *w = form.control("PicSlider");
        const QPoint grip(16, 16);
        Send(w, QEvent::MouseButtonPress, grip, Qt::LeftButton, buttons);
        const int step = dy > 0 ? 7 : -7;
        int moved = 0;
        while (moved != dy) {
            const int d = std::abs(dy - moved) < std::abs(step) ? dy - moved : step;
            // Positions are in the weight's own pixels, and the weight moves with the pointer.
            const int before = w->y();
            Send(w, QEvent::MouseMove, grip + QPoint(0, d), Qt::NoButton, buttons);
            moved += d;
            if (w->y() == before && buttons == Qt::LeftButton && d != 0)
                break; // held at a bound
        }
        Send(w, QEvent::MouseButtonRelease, grip, Qt::LeftButton, Qt::NoButton);
    }

    FakeClock clock;
    sound::SoundOutput output;
    app::FrmMetronom form{nullptr, &clock};
};

TEST_F(TempoWindowTest, StartsAt120AllegroWithTheWeightAt131)
{
    EXPECT_EQ(bpm(), "120");
    EXPECT_EQ(word(), "Allegro");
    EXPECT_EQ(weightTop(), 131);
    EXPECT_TRUE(form.StopRequested());
    auto *face = form.control<ui::PendulumFace>("PicMet");
    EXPECT_EQ(face->tip(), QPointF(154, 20)) << "the rod stands upright";
}

TEST_F(TempoWindowTest, StepButtonsMoveTheNumberTheWordAndTheWeightTogether)
{
    click("cmdTempo(1)");
    EXPECT_EQ(bpm(), "121");
    EXPECT_EQ(weightTop(), 132);
    click("cmdTempo(3)");
    click("cmdTempo(3)");
    click("cmdTempo(3)");
    click("cmdTempo(3)");
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
    // A press at x 107 puts the slider's button centre there: value 121, tempo 122.
    QTest::mousePress(fader1, Qt::LeftButton, {}, QPoint(107, 10));
    QTest::mouseRelease(fader1, Qt::LeftButton, {}, QPoint(107, 10));
    EXPECT_EQ(fader1->Value(), 121);
    EXPECT_EQ(bpm(), "122");
    EXPECT_EQ(weightTop(), *tempo::SliderTopForTempo(122));
    QTest::mousePress(fader1, Qt::LeftButton, {}, QPoint(0, 10));
    QTest::mouseRelease(fader1, Qt::LeftButton, {}, QPoint(0, 10));
    EXPECT_EQ(bpm(), "1");
    EXPECT_EQ(word(), "Larghissimo");
}

struct BeatsCase {
    int x;     // where the beats slider is pressed
    int beats; // beats per cycle it gives
};
void PrintTo(const BeatsCase &c, std::ostream *os) { *os << c.beats << " beats"; }

class BeatsSliderTest : public TempoWindowTest, public ::testing::WithParamInterface<BeatsCase> {};

TEST_P(BeatsSliderTest, ShowsExactlyTheFirstLampsOfEachRow)
{
    auto *fader2 = form.control<fader::Fader>("Fader2");
    QTest::mousePress(fader2, Qt::LeftButton, {}, QPoint(GetParam().x, 10));
    QTest::mouseRelease(fader2, Qt::LeftButton, {}, QPoint(GetParam().x, 10));
    EXPECT_EQ(form.BeatsPerCycle(), GetParam().beats);
    EXPECT_EQ(form.control<QLabel>("lblBeats")->text(), QString::number(GetParam().beats));
    for (int i = 0; i < 8; ++i)
        for (const char *row : {"imgBeat", "imgSnare"})
            EXPECT_EQ(form.control(QStringLiteral("%1(%2)").arg(row).arg(i))->isVisible(), i < GetParam().beats)
                << row << i;
}

INSTANTIATE_TEST_SUITE_P(Positions, BeatsSliderTest,
                         ::testing::Values(BeatsCase{0, 1}, BeatsCase{29, 2}, BeatsCase{56, 3}, BeatsCase{97, 4},
                                           BeatsCase{221, 8}));

TEST_F(TempoWindowTest, DraggingTheWeightSetsTheTempoItShows)
{
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

TEST_F(TempoWindowTest, OnlyTheLeftButtonAloneDragsTheWeight)
{
    for (Qt::MouseButtons held : {Qt::MouseButtons(Qt::RightButton), Qt::MouseButtons(Qt::MiddleButton),
                                  Qt::MouseButtons(Qt::LeftButton | Qt::RightButton)}) {
        dragWeight(-20, held);
        EXPECT_EQ(weightTop(), 131);
        EXPECT_EQ(bpm(), "120");
    }
}

TEST_F(TempoWindowTest, TappingShowsTheSeriesAndRightClickHidesTheTrend)
{
    for (int i = 0; i < 3; ++i) {
        click("Tap");
        clock.now += 1000;
    }
    EXPECT_EQ(bpm(), "60");
    EXPECT_EQ(word(), "Larghetto");
    EXPECT_EQ(weightTop(), 65);
    EXPECT_TRUE(form.control("Label1")->isVisible());
    EXPECT_EQ(form.control<QLabel>("Label1")->text(), "60");
    EXPECT_TRUE(form.control("Label2")->isVisible());
    EXPECT_TRUE(form.control("Label3")->isVisible());

    click("Tap", Qt::RightButton);
    for (const char *name : {"Label1", "Label2", "Label3"})
        EXPECT_FALSE(form.control(name)->isVisible()) << name;
    EXPECT_TRUE(form.TapSeries().Series().empty());
    EXPECT_EQ(bpm(), "60") << "a reset leaves the tempo";
}

} // namespace

namespace {

TEST_F(TempoWindowTest, DraggingTheFaceMovesTheWindowOneToOne)
{
    QWidget *face = form.control("PicMet");
    const QPoint start = form.pos();
    const QPoint grip(60, 450);
    for (Qt::MouseButton held : {Qt::LeftButton, Qt::RightButton}) {
        const QPoint before = form.pos();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(grip), face->mapToGlobal(QPointF(grip)), held, held, {});
        QApplication::sendEvent(face, &press);
        const QPointF globalGrip = face->mapToGlobal(QPointF(grip));
        QMouseEvent move(QEvent::MouseMove, QPointF(grip), globalGrip + QPointF(30, 20), Qt::NoButton, held, {});
        QApplication::sendEvent(face, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(grip), globalGrip + QPointF(30, 20), held, {}, {});
        QApplication::sendEvent(face, &release);
        EXPECT_EQ(form.pos(), before + QPoint(30, 20));
    }
    EXPECT_EQ(form.pos(), start + QPoint(60, 40));
}

} // namespace
