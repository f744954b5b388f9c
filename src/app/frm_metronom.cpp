#include "app/frm_metronom.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>

#include "app/commands.h"
#include "ui/controls.h"
#include "ui/window_layout.h"

namespace app {

FrmMetronom::FrmMetronom(QWidget *parent) : QWidget(parent)
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
    connect(check2_, &QCheckBox::clicked, this, &FrmMetronom::Check2_Click);

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
    // The sound device, the sample slots, the presets, the starting pattern and the tempo are set
    // up here as those parts of the program arrive.
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
