#include "app/frm_metronom.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/commands.h"
#include "fader/fader.h"
#include "tempo/tempo_model.h"
#include "ui/controls.h"
#include "ui/pendulum_face.h"
#include "ui/window_layout.h"

namespace app {

namespace {

const tempo::MillisecondClock &ClockOr(const tempo::MillisecondClock *given,
                                       std::unique_ptr<tempo::MillisecondClock> &own)
{
    if (given)
        return *given;
    own = std::make_unique<tempo::SteadyClock>();
    return *own;
}

} // namespace

FrmMetronom::FrmMetronom(QWidget *parent, const tempo::MillisecondClock *tapClock)
    : QWidget(parent), tap_(ClockOr(tapClock, ownClock_))
{
    const ui::WindowSpec &spec = ui::MainWindow();
    setWindowTitle(QString::fromStdString(spec.caption));
    // A fixed client area: every attempt to resize the window is refused by the window system.
    setFixedSize(ui::TwipsToPixels(spec.clientWidth), ui::TwipsToPixels(spec.clientHeight));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ui::FromBgr(spec.back));
    setPalette(pal);

    controls_ = ui::BuildControls(this);
    combo1_ = control<QComboBox>("Combo1");
    combo2_ = control<QComboBox>("Combo2");
    combo3_ = control<QComboBox>("Combo3");
    check2_ = control<QCheckBox>("Check2");
    lblBPM_ = control<QLabel>("lblBPM");
    lblTempo_ = control<QLabel>("lblTempo");
    picMet_ = control<ui::PendulumFace>("PicMet");
    picSlider_ = control<ui::PictureBox>("PicSlider");
    tempo_ = tempo::TempoControl(picMet_->width());

    connect(check2_, &QCheckBox::clicked, this, &FrmMetronom::Check2_Click);
    for (int i = 0; i < 4; ++i)
        connect(control<QPushButton>(QString::fromStdString(ui::ArrayName("cmdTempo", i))), &QPushButton::clicked, this,
                [this, i] { cmdTempo_Click(i); });
    connect(picSlider_, &ui::PictureBox::mouseDown, this, &FrmMetronom::PicSlider_MouseDown);
    connect(picSlider_, &ui::PictureBox::mouseMove, this, &FrmMetronom::PicSlider_MouseMove);
    connect(control<ui::PressButton>("Tap"), &ui::PressButton::mouseDown, this, &FrmMetronom::Tap_MouseDown);
    connect(control<fader::Fader>("Fader1"), &fader::Fader::Scrolling, this, &FrmMetronom::Fader1_Scrolling);
    connect(control<fader::Fader>("Fader2"), &fader::Fader::Scrolling, this, &FrmMetronom::Fader2_Scrolling);

    Form_Load();
}

FrmMetronom::~FrmMetronom() = default;

void FrmMetronom::Form_Load()
{
    SetTopMost(this, true);
    CenterForm(this);
}

void FrmMetronom::FirstRun()
{
    // The weight at top 131, which shows 120 "Allegro", and the pendulum at rest.
    tempo_ = tempo::TempoControl(picMet_->width());
    SetBeatsPerCycle(4);
    ApplyTempo();
    DrawPendulumAtRest();
}

void FrmMetronom::ShowTempo(int bpm)
{
    lblBPM_->setText(QString::number(bpm));
    lblTempo_->setText(QString::fromStdString(tempo::Tempowort(bpm)));
}

void FrmMetronom::ApplyTempo()
{
    ShowTempo(tempo_.Bpm());
    SetFaderValue("Fader1", tempo_.Fader1Value());
    const tempo::PendulumGeometry &g = tempo_.Geometry();
    picSlider_->move(picSlider_->x(), g.SliderTop);
}

void FrmMetronom::DrawPendulumAtRest()
{
    stopRequested_ = true;
    tempo::PendulumGeometry &g = tempo_.Geometry();
    tempo::RestPosition(g);
    picMet_->clearSwingingWeight();
    picMet_->setPendulum({g.PivotX, g.PivotY}, {g.TipX, g.TipY}, ui::FromBgr(g.RodColor));
    picSlider_->move(static_cast<int>(g.SliderLeft), g.SliderTop);
    picSlider_->show();
}

void FrmMetronom::cmdTempo_Click(int index)
{
    tempo_.Step(index);
    ApplyTempo();
}

void FrmMetronom::PicSlider_MouseDown(Qt::MouseButton, QPoint pos)
{
    if (stopRequested_)
        sliderPressY_ = pos.y();
}

void FrmMetronom::PicSlider_MouseMove(Qt::MouseButtons buttons, QPoint pos)
{
    // The weight follows the left button alone, and only while the pendulum rests.
    if (buttons != Qt::LeftButton || !stopRequested_)
        return;
    if (tempo_.DragWeight(pos.y() - sliderPressY_))
        ApplyTempo();
}

void FrmMetronom::Tap_MouseDown(Qt::MouseButton button)
{
    if (button == Qt::RightButton) {
        ShowTapDisplay(tap_.Reset());
        return;
    }
    const tempo::TapDisplay d = tap_.Tap();
    ShowTapDisplay(d);
    if (!d.hasTempo)
        return;
    tempo_.Tapped(d.tempo);
    ApplyTempo();
}

void FrmMetronom::ShowTapDisplay(const tempo::TapDisplay &d)
{
    auto *label1 = control<QLabel>("Label1");
    auto *label2 = control<QLabel>("Label2");
    auto *label3 = control<QLabel>("Label3");
    label1->setVisible(d.labelsShown);
    label2->setVisible(d.labelsShown && (!d.hasTempo || d.slower));
    label3->setVisible(d.labelsShown && (!d.hasTempo || d.faster));
    if (d.hasTempo)
        label1->setText(QString::fromStdString(d.latest));
}

void FrmMetronom::Fader1_Scrolling()
{
    tempo_.Fader1Moved(FaderValue("Fader1"));
    ApplyTempo();
}

void FrmMetronom::Fader2_Scrolling()
{
    SetBeatsPerCycle(FaderValue("Fader2") + 1);
}

void FrmMetronom::SetBeatsPerCycle(int beats)
{
    beatsPerCycle_ = beats;
    control<QLabel>("lblBeats")->setText(QString::number(beats));
    for (int i = 0; i < 8; ++i) {
        for (const char *row : {"imgBeat", "imgSnare"})
            control(QString::fromStdString(ui::ArrayName(row, i)))->setVisible(i < beats);
    }
}

int FrmMetronom::FaderValue(const char *name) const
{
    return control<fader::Fader>(name)->Value();
}

void FrmMetronom::SetFaderValue(const char *name, int value)
{
    control<fader::Fader>(name)->SetValue(value);
}

void FrmMetronom::Check2_Click()
{
    SetTopMost(this, check2_->isChecked());
    setFocus();
}

void FrmMetronom::Form_Unload()
{
    stopRequested_ = true;
}

void FrmMetronom::closeEvent(QCloseEvent *event)
{
    // Closing the window ends the program at once, without a question and saving nothing.
    Form_Unload();
    event->accept();
}

} // namespace app
