// The weight drag and TAP in the real window (offscreen): they move the number, the word, the
// weight and the slider together.
#include "fader/fader.h"
#include "support/window_test.h"

namespace {

using testsupport::Send;

class TempoWindowTest : public testsupport::WindowTest {
protected:
    QString bpm() const { return text("lblBPM"); }
    QString word() const { return text("lblTempo"); }
    int weightTop() const { return form->control("PicSlider")->y(); }
    // Presses on the weight and drags it by `dy` pixels in steps of 7 with `buttons` held.
    void dragWeight(int dy, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QWidget *w = form->control("PicSlider");
        const QPoint grip(16, 16);
        Send(w, QEvent::MouseButtonPress, grip, Qt::LeftButton, buttons);
        for (int moved = 0; moved != dy;) { // in the weight's own pixels, and it moves along
            const int d = std::clamp(dy - moved, -7, 7);
            Send(w, QEvent::MouseMove, grip + QPoint(0, d), Qt::NoButton, buttons);
            moved += d;
        }
        Send(w, QEvent::MouseButtonRelease, grip, Qt::LeftButton, Qt::NoButton);
    }
};

// Only the left button drags the weight, and not while the pendulum swings (the weight is off the
// rod then): such a drag changes nothing.
TEST_F(TempoWindowTest, DraggingTheWeightWithTheLeftButtonAtRestSetsTheTempoItShows)
{
    for (Qt::MouseButtons held : {Qt::MouseButtons(Qt::RightButton), Qt::LeftButton | Qt::RightButton}) {
        dragWeight(-20, held);
        EXPECT_EQ(weightTop(), 131);
    }
    click("Check1");
    EXPECT_FALSE(form->control("PicSlider")->isVisible());
    dragWeight(-20);
    EXPECT_EQ(std::tuple(form->Tempo().Bpm(), form->control<fader::Fader>("Fader1")->Value()), std::tuple(120, 119));
    click("Check1");
    EXPECT_EQ(weightTop(), 131) << "back on the rod where it was";
    dragWeight(-20);
    EXPECT_EQ(std::tuple(weightTop(), bpm().toInt(), form->control<fader::Fader>("Fader1")->Value()),
              std::tuple(111, 102, 101));
}

TEST_F(TempoWindowTest, TappingShowsTheSeriesAndRightClickHidesTheTrend)
{
    auto labelsShown = [&] { // the trend arrows around the latest tap's tempo, as far as they show
        return (form->control("Label2")->isVisible() ? "< " : "") +
               (form->control("Label1")->isVisible() ? text("Label1") : "") +
               (form->control("Label3")->isVisible() ? " >" : "");
    };
    for (int i = 0; i < 3; ++i, clock.now += 1000)
        click("Tap");
    EXPECT_EQ(std::tuple(bpm(), word(), weightTop(), labelsShown()), std::tuple("60", "Larghetto", 65, "< 60 >"));
    clock.now -= 500; // half a second after the last tap: faster
    click("Tap");
    EXPECT_EQ(labelsShown(), "120 >");
    clock.now += 1500; // a second and a half later: slower
    click("Tap");
    EXPECT_EQ(labelsShown(), "< 40");
    const QString help = form->control("Tap")->accessibleDescription();
    EXPECT_EQ(help, "Tempo 70, zuletzt 40 (langsamer)") << "what a screen reader on TAP hears";
    clock.now += 1000;
    Send(form->control("Tap"), QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::LeftButton | Qt::RightButton);
    Send(form->control("Tap"), QEvent::MouseButtonRelease, {5, 5}, Qt::RightButton, Qt::LeftButton);
    click("Tap", Qt::RightButton);
    EXPECT_EQ(labelsShown(), "");
    EXPECT_TRUE(form->control("Tap")->accessibleDescription().startsWith("Im Takt klicken")) << "a new series";
    // The mean of 60, 60, 120, 40, 60: the right button with the left held tapped.
    EXPECT_EQ(bpm(), "68") << "a reset leaves the tempo";
    for (int i = 0; i < 2; ++i) {
        clock.now += 500;
        click("Tap");
    }
    EXPECT_EQ(bpm(), "120") << "the reset began a new series";
}

} // namespace
