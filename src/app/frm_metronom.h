#pragma once
#include <QHash>
#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace ui {
class LampImage;
class PictureBox;
}

namespace app {

// The program's one window: the metronome face, the tempo, sound and pattern controls, TAP and
// START/STOP. Lives on the UI thread.
class FrmMetronom : public QWidget {
    Q_OBJECT
public:
    // Builds the controls from the window description, then places the window (always on top,
    // centred), before it is shown.
    explicit FrmMetronom(QWidget *parent = nullptr);
    ~FrmMetronom() override;

    // The window's own set-up after it has been filled with the sound names and shown.
    void FirstRun();

    // Controls by name ("lblBPM", "imgBeat(3)"), nullptr for an unknown name.
    QWidget *control(const QString &name) const { return controls_.value(name); }
    template <class T> T *control(const QString &name) const { return qobject_cast<T *>(control(name)); }

    QComboBox *Combo1() const { return combo1_; }
    QComboBox *Combo2() const { return combo2_; }
    QComboBox *Combo3() const { return combo3_; }
    QCheckBox *Check2() const { return check2_; }

    bool StopRequested() const { return stopRequested_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Form_Unload();
    void Check2_Click();

    QHash<QString, QWidget *> controls_;
    QComboBox *combo1_ = nullptr;
    QComboBox *combo2_ = nullptr;
    QComboBox *combo3_ = nullptr;
    QCheckBox *check2_ = nullptr;
    bool stopRequested_ = false;
};

} // namespace app
