// What a screen reader finds in the window: walked through the accessibility tree from the window.
#include <QAccessibleValueInterface>
#include <QRegularExpression>
#include <QSet>

#include "support/window_test.h"
#include "ui/controls.h"

namespace {

class AccessibilityTest : public testsupport::WindowTest {
protected:
    QAccessibleInterface *of(const char *name) { return QAccessible::queryAccessibleInterface(form->control(name)); }
    QString name(const char *control) { return of(control)->text(QAccessible::Name); }
};

void Walk(QAccessibleInterface *node, QSet<QObject *> &seen)
{
    for (int i = 0; i < node->childCount(); ++i)
        if (QAccessibleInterface *child = node->child(i); child && !seen.contains(child->object())) {
            seen.insert(child->object());
            Walk(child, seen);
        }
}

// Each control also lies inside the window; no lamp beyond the beats of a cycle is in the tree.
TEST_F(AccessibilityTest, EveryVisibleControlAndMenuEntryIsInTheTreeWithAName)
{
    key(Qt::Key_3);
    QSet<QObject *> seen;
    EXPECT_EQ(QAccessible::queryAccessibleInterface(form.get())->role(), QAccessible::Window) << "a reader's frame";
    Walk(QAccessible::queryAccessibleInterface(form.get()), seen);
    const QRegularExpression spacedLetters(QStringLiteral("^(\\S )+\\S$"));
    int checked = 0;
    for (QWidget *w : form->findChildren<QWidget *>()) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_TRUE(!qobject_cast<ui::LampImage *>(w) || seen.contains(w) == w->isVisible());
        // The parts inside a chooser (its text field, its list) belong to the chooser.
        if (!w->isVisible() || w->isWindow() || qobject_cast<QComboBox *>(w->parentWidget()))
            continue;
        EXPECT_TRUE(seen.contains(w)) << "not reachable from the window";
        const QString n = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        EXPECT_FALSE(n.trimmed().isEmpty());
        EXPECT_FALSE(spacedLetters.match(n).hasMatch()) << n.toStdString();
        EXPECT_TRUE(w->parentWidget() != form.get() || form->rect().contains(w->geometry())) << "outside the window";
        ++checked;
    }
    EXPECT_GT(checked, 40);

    // The practice menu's entries: a reader has each name and its key apart.
    QAccessibleInterface *menu = QAccessible::queryAccessibleInterface(form->Practice().Menu());
    QStringList told;
    for (int i = 0; i < menu->childCount(); ++i)
        told << menu->child(i)->text(QAccessible::Name) + "=" + menu->child(i)->text(QAccessible::Accelerator);
    for (const char *entry : {"Tempo-Trainer=R", "Pausen-Training=G", "Link=L"})
        EXPECT_TRUE(told.contains(entry)) << told.join(", ").toStdString();
    EXPECT_FALSE(told.join("").contains('\t'));
}

// The lamps by row and beat, the choosers by their labels, the sliders and the weight with their values.
TEST_F(AccessibilityTest, NamesCarryWhatTheControlsShow)
{
    for (auto [control, shown] : {std::pair{"imgBeat(2)", "Akzent 1, Schlag 3"},
                                  {"imgSnare(0)", "Akzent 2, Schlag 1"},
                                  {"Check1", "START"},
                                  {"lblBPM", "Tempo: 120"},
                                  {"Fader1", "Tempo: 120"},
                                  {"Fader2", "Schläge pro Zyklus: 4"},
                                  {"Combo1", "Sound"},
                                  {"cboPresets", "Presets: Normal"},
                                  {"Combo2", "Akzent 1"},
                                  {"Combo3", "Akzent 2"}})
        EXPECT_EQ(name(control), QString::fromUtf8(shown));
    EXPECT_EQ(of("Combo2")->text(QAccessible::Value), "Bassdrum");
    // A reader on Linux has no text field to read the preset from, and reads a label it is
    // pointed to instead of the name: the name carries the preset, and no label is pointed to.
    EXPECT_TRUE(of("cboPresets")->relations(QAccessible::Label).isEmpty());
    EXPECT_EQ(of("Combo1")->relations(QAccessible::Label).size(), 1) << "the sound chooser's label, Sound";
    EXPECT_EQ(of("imgBeat(0)")->role(), QAccessible::CheckBox);
    EXPECT_TRUE(of("imgBeat(0)")->state().checked) << "accent 1 on beat 1 at the start";
    EXPECT_FALSE(of("Check1")->text(QAccessible::Description).isEmpty());
    QAccessibleValueInterface *weight = of("PicSlider")->valueInterface();
    ASSERT_NE(weight, nullptr);
    EXPECT_EQ(weight->currentValue().toInt(), 120);
    click("cmdTempo(3)");
    EXPECT_EQ(weight->currentValue().toInt(), 130) << "the value follows the tempo";
    for (int i = 0; i < 12; ++i)
        click("cmdTempo(2)"); // "<<" down to 10, where the weight cannot be dragged
    EXPECT_EQ(weight->currentValue().toInt(), 10);
    EXPECT_LE(weight->minimumValue().toInt(), 10) << "a value below its range";
    EXPECT_EQ(weight->maximumValue().toInt(), 271);
    // A reader moves the weight too (its Increase and Decrease actions set the value one step on).
    weight->setCurrentValue(11);
    EXPECT_EQ(name("lblBPM"), "Tempo: 11");
    weight->setCurrentValue(140);
    EXPECT_EQ(name("lblBPM"), "Tempo: 140");

    // Worked through the reader: a lamp toggled, the beats set, START pressed.
    of("imgBeat(1)")->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(of("imgBeat(1)")->state().checked);
    QAccessibleValueInterface *beats = of("Fader2")->valueInterface();
    ASSERT_NE(beats, nullptr);
    EXPECT_EQ(beats->maximumValue().toInt(), 8);
    beats->setCurrentValue(6);
    EXPECT_EQ(form->BeatsPerCycle(), 6);
    of("Check1")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(form->Running());
    EXPECT_EQ(name("Check1"), "STOP");
    weight->setCurrentValue(150);
    EXPECT_EQ(weight->currentValue().toInt(), 140) << "the weight moved while the pendulum swings";

    auto *presets = form->control<QComboBox>("cboPresets");
    presets->setCurrentIndex(presets->findText("Kick"));
    emit presets->activated(presets->currentIndex());
    EXPECT_EQ(name("cboPresets"), "Presets: Kick") << "the name follows the preset chosen";
}

} // namespace
