#include "ui/accessibility.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>

#include "fader/fader.h"
#include "ui/controls.h"

namespace ui {

namespace {

// The property that names what a number display counts.
constexpr const char *kCounts = "accessibleCounts";

struct Words {
    const char *control;
    const char *name; // empty: the control's own text
    const char *description;
    bool counts = false; // a number display: the name goes before the number shown
};

// The controls whose captions say too little (or nothing) by themselves.
constexpr Words kWords[] = {
    {"PicMet", "Metronom", "Das Gehäuse ziehen verschiebt das Fenster"},
    {"PicSlider", "Pendelgewicht", "Nach oben ziehen: langsamer, nach unten: schneller"},
    {"Picture1", "Metronom", "Klicken öffnet das Menü Übungen und Einstellungen (auch F10)"},
    {"Picture5", "Takt-Schild", ""},
    {"picBPM", "Tempo-Anzeige", ""},
    {"picBeat", "Schlag-Anzeige", ""},
    {"shpBeat", "Markierung des aktuellen Schlags", ""},
    {"Combo1", "", "Klang jedes Schlags"},
    {"Combo2", "", "Klang der Schläge mit Akzent 1"},
    {"Combo3", "", "Klang der Schläge mit Akzent 2"},
    {"cboPresets", "", "Klänge und Akzente; Long, Englisch und Computer zählen die Schläge laut"},
    {"Check2", "", "Das Fenster bleibt über allen anderen"},
    {"chkAccent", "", "Akzent-Klänge ein oder aus (Taste A)"},
    {"cmdTempo(0)", "Tempo minus 1", "Taste Minus oder Pfeil links"},
    {"cmdTempo(1)", "Tempo plus 1", "Taste Plus oder Pfeil rechts"},
    {"cmdTempo(2)", "Tempo minus 10", "Taste Bild ab"},
    {"cmdTempo(3)", "Tempo plus 10", "Taste Bild auf"},
    {"Fader1", "Tempo", "Schläge pro Minute"},
    {"Fader2", "Schläge pro Zyklus", "Tasten 1 bis 8"},
    {"lblBPM", "Tempo", "Schläge pro Minute", true},
    {"lblBeat", "Schlag", "Der Schlag, der gerade klingt", true},
    {"lblBeats", "Schläge pro Zyklus", "", true},
    {"Label1", "Getipptes Tempo", "", true},
    {"Label2", "langsamer", "Der letzte Tipp war langsamer"},
    {"Label3", "schneller", "Der letzte Tipp war schneller"},
    {"Tap", "", "Im Takt klicken oder Taste T; Rechtsklick oder Umschalt+T beginnt neu"},
    {"Check1", "", "Startet und stoppt das Metronom (Leertaste)"},
};

// The labels that name the choosers (the chooser is the label's buddy).
constexpr std::pair<const char *, const char *> kChooserLabels[] = {
    {"Label5", "Combo1"}, {"Label7", "cboPresets"}, {"Label6", "Combo2"}, {"Label9", "Combo3"}};

// A widget with this property set is left out of the window's accessible tree (decoration).
constexpr const char *kIgnored = "accessibleIgnored";

// The mark of this file's interfaces.
struct Ours {
    virtual ~Ours() = default;
};

// "S T A R T" reads "START"; other texts stay as they are.
QString Spoken(const QString &caption)
{
    static const QRegularExpression spaced(QStringLiteral("^(\\S )+\\S$"));
    QString text = caption;
    if (spaced.match(text).hasMatch())
        text.remove(QLatin1Char(' '));
    return text;
}

// Every label: its accessible name when it has one; a number display names what it counts before
// the number it shows ("Tempo: 120"). Decided when asked, since the interface may be made before
// the label has its name.
class Label : public QAccessibleWidget, public Ours {
public:
    explicit Label(QLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override
    {
        auto *label = static_cast<QLabel *>(widget());
        const QString counts = label->property(kCounts).toString();
        if (t == QAccessible::Name) {
            if (!counts.isEmpty())
                return counts + QStringLiteral(": ") + label->text();
            return label->accessibleName().isEmpty() ? Spoken(label->text()) : label->accessibleName();
        }
        if (t == QAccessible::Value)
            return label->text();
        return QAccessibleWidget::text(t);
    }
};

// A beat lamp: a check box "Akzent 1, Schlag 3", checked when lit; its action clicks it.
class Lamp : public QAccessibleWidget, public Ours {
public:
    explicit Lamp(LampImage *lamp) : QAccessibleWidget(lamp, QAccessible::CheckBox) {}
    LampImage *lamp() const { return static_cast<LampImage *>(widget()); }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const int row = lamp()->objectName().startsWith(QLatin1String("imgSnare")) ? 2 : 1;
            return QStringLiteral("Akzent %1, Schlag %2").arg(row).arg(lamp()->number());
        }
        if (t == QAccessible::Description)
            return QStringLiteral("Klicken setzt oder löscht den Akzent");
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = lamp()->isLit();
        return s;
    }
    QStringList actionNames() const override { return {toggleAction()}; }
    void doAction(const QString &action) override
    {
        if (action == toggleAction() || action == pressAction())
            emit lamp()->clicked();
    }
};

// TAP and START/STOP: named by their caption without the spacing; pressing is a left click.
class BigButton : public QAccessibleWidget, public Ours {
public:
    explicit BigButton(PressButton *b) : QAccessibleWidget(b, QAccessible::Button) {}
    PressButton *button() const { return static_cast<PressButton *>(widget()); }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return Spoken(button()->text());
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &action) override
    {
        if (action == pressAction() && button()->isEnabled())
            emit button()->mouseDown(Qt::LeftButton, Qt::LeftButton);
    }
};

// The sliders count from 1: the tempo slider's value v is tempo v + 1, the beats slider's v beats v + 1.
class Slider : public QAccessibleWidget, public QAccessibleValueInterface, public Ours {
public:
    explicit Slider(fader::Fader *f) : QAccessibleWidget(f, QAccessible::Slider) {}
    fader::Fader *fader() const { return static_cast<fader::Fader *>(widget()); }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return fader()->accessibleName() + QStringLiteral(": ") + QString::number(fader()->Value() + 1);
        if (t == QAccessible::Value)
            return QString::number(fader()->Value() + 1);
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return fader()->Value() + 1; }
    void setCurrentValue(const QVariant &value) override
    {
        if (fader()->SetValue(value.toInt() - 1))
            emit fader()->Scrolling();
    }
    QVariant maximumValue() const override { return fader()->Max() + 1; }
    QVariant minimumValue() const override { return 1; }
    QVariant minimumStepSize() const override { return 1; }
};

// A sound or preset chooser, named by its label ("Sound:" reads "Sound"), its value the text shown.
// A reader on Linux reads a chooser's value from its text field; the preset chooser has none, and
// the value text does not reach such a reader. So that one carries its value in its name, as the
// sliders do ("Presets: Normal"), and leaves out the relation to its label, which a reader would
// read instead of the name.
class Chooser : public QAccessibleWidget, public Ours {
public:
    explicit Chooser(QComboBox *c) : QAccessibleWidget(c, QAccessible::ComboBox) {}
    QComboBox *chooser() const { return static_cast<QComboBox *>(widget()); }
    QString label() const
    {
        for (QLabel *label : chooser()->window()->findChildren<QLabel *>())
            if (label->buddy() == chooser())
                return label->text().remove(QRegularExpression(QStringLiteral("\\s*:\\s*$")));
        return chooser()->accessibleName();
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return chooser()->isEditable() ? label() : label() + QStringLiteral(": ") + chooser()->currentText();
        if (t == QAccessible::Value)
            return chooser()->currentText();
        return QAccessibleWidget::text(t);
    }
    QList<QPair<QAccessibleInterface *, QAccessible::Relation>> relations(QAccessible::Relation match) const override
    {
        if (chooser()->isEditable())
            return QAccessibleWidget::relations(match);
        return QAccessibleWidget::relations(QAccessible::Relation(match & ~QAccessible::Label));
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = chooser()->isEditable();
        s.expandable = true;
        return s;
    }
    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction())
            chooser()->showPopup();
    }
};

// The pendulum's weight: its value is the tempo it stands for (set as the property "tempo"). A
// reader sets it (and its Increase and Decrease actions step it) as the tempo slider does, while the
// weight rests (it is hidden while the pendulum swings, and cannot be dragged then).
class Weight : public QAccessibleWidget, public QAccessibleValueInterface, public Ours {
public:
    explicit Weight(QWidget *w) : QAccessibleWidget(w, QAccessible::Slider) {}
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return currentValue().toString();
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return widget()->property("tempo"); }
    void setCurrentValue(const QVariant &value) override
    {
        auto *tempo = widget()->window()->findChild<fader::Fader *>(QStringLiteral("Fader1"));
        if (!tempo || !widget()->isVisible())
            return;
        const int bpm = std::clamp(value.toInt(), minimumValue().toInt(), maximumValue().toInt());
        if (tempo->SetValue(bpm - 1)) // the slider's value v is tempo v + 1
            emit tempo->Scrolling();
    }
    // The tempos the weight can be dragged to, widened to a tempo set otherwise (the step buttons
    // go down to 1, a Link session up to 999): the value never lies outside its range.
    QVariant maximumValue() const override { return std::max(271, currentValue().toInt()); }
    QVariant minimumValue() const override
    {
        return currentValue().isValid() ? std::min(22, currentValue().toInt()) : 22;
    }
    QVariant minimumStepSize() const override { return 1; }
};

// The object a reader is told news through: a notification, named by the news. Readers say a
// notification when it is shown; a changed name or description of a control is not said on Linux
// by every pair of toolkit and reader (Qt 6.4 with Orca 43 says neither).
constexpr const char *kAnnouncement = "Announcement";
constexpr const char *kPending = "announcementPending"; // the news not yet told

class Announcement : public QAccessibleWidget, public Ours {
public:
    explicit Announcement(QWidget *w) : QAccessibleWidget(w, QAccessible::Notification) {}
};

// The main window (a frame to a reader, not a plain area): its children as shown, without the lamps
// of beats beyond the cycle, whatever else is hidden and the decoration.
class Window : public QAccessibleWidget, public Ours {
public:
    explicit Window(QWidget *form) : QAccessibleWidget(form, QAccessible::Window) {}
    QList<QWidget *> shown() const
    {
        QList<QWidget *> list;
        for (QObject *o : widget()->children())
            if (auto *w = qobject_cast<QWidget *>(o);
                w && !w->isWindow() && !w->isHidden() && !w->property(kIgnored).toBool())
                list << w;
        return list;
    }
    int childCount() const override { return int(shown().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> list = shown();
        return index >= 0 && index < list.size() ? QAccessible::queryAccessibleInterface(list[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(shown().indexOf(qobject_cast<QWidget *>(child->object()))) : -1;
    }
};

// The property that marks the main window (whose labels are read by this file's rules).
constexpr const char *kMainWindow = "metronomMainWindow";

QLabel *WindowLabel(QObject *o)
{
    auto *label = qobject_cast<QLabel *>(o);
    return label && label->window()->property(kMainWindow).toBool() ? label : nullptr;
}

bool MainWindow(QObject *o)
{
    auto *w = qobject_cast<QWidget *>(o);
    return w && w->isWindow() && w->property(kMainWindow).toBool();
}

bool Weighted(QObject *o)
{
    return qobject_cast<PictureBox *>(o) && o->objectName() == QLatin1String("PicSlider");
}

bool Handled(QObject *o)
{
    return qobject_cast<LampImage *>(o) || qobject_cast<PressButton *>(o) || qobject_cast<fader::Fader *>(o) ||
           qobject_cast<QComboBox *>(o) || WindowLabel(o) || MainWindow(o) || Weighted(o);
}

// Tells a screen reader when a slider's value, and with it its name ("Tempo: 121"), has changed.
// The slider says that its value is set before it takes it (and also when it stays), so the
// value is compared once the change is done.
class SliderWatch : public QObject {
public:
    explicit SliderWatch(fader::Fader *f) : QObject(f), fader_(f), last_(f->Value())
    {
        connect(f, &fader::Fader::PropertyChanged, this, [this](const QString &name) {
            if (name == QLatin1String("Value"))
                Later();
        });
        connect(f, &fader::Fader::Scrolling, this, &SliderWatch::Later);
    }

private:
    void Later() { QMetaObject::invokeMethod(this, &SliderWatch::Tell, Qt::QueuedConnection); }
    void Tell()
    {
        if (fader_->Value() == last_)
            return;
        last_ = fader_->Value();
        if (!QAccessible::isActive())
            return;
        QAccessibleValueChangeEvent value(fader_, last_ + 1);
        QAccessible::updateAccessibility(&value);
        QAccessibleEvent name(fader_, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&name);
    }

    fader::Fader *fader_;
    std::int32_t last_;
};

// Tells a screen reader when the weight's tempo changes.
class WeightWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::DynamicPropertyChange && QAccessible::isActive()) {
            QAccessibleValueChangeEvent changed(watched, watched->property("tempo"));
            QAccessible::updateAccessibility(&changed);
        }
        return false;
    }
};

// Our own controls and the labels of the main window.
QAccessibleInterface *Factory(const QString &, QObject *object)
{
    if (auto *lamp = qobject_cast<LampImage *>(object))
        return new Lamp(lamp);
    if (auto *button = qobject_cast<PressButton *>(object))
        return new BigButton(button);
    if (auto *f = qobject_cast<fader::Fader *>(object))
        return new Slider(f);
    if (QLabel *label = WindowLabel(object))
        return new Label(label);
    if (auto *chooser = qobject_cast<QComboBox *>(object); chooser && chooser->window()->property(kMainWindow).toBool())
        return new Chooser(chooser);
    if (Weighted(object))
        return new Weight(static_cast<QWidget *>(object));
    if (MainWindow(object))
        return new Window(static_cast<QWidget *>(object));
    if (object->objectName() == QLatin1String(kAnnouncement) && object->isWidgetType())
        return new Announcement(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

void InstallAccessibility(QWidget &form)
{
    // After the application's own factory (which QApplication installs), so that this one is asked first.
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
    form.setProperty(kMainWindow, true);
    for (auto [label, chooser] : kChooserLabels)
        if (auto *l = form.findChild<QLabel *>(QString::fromUtf8(label)))
            l->setBuddy(form.findChild<QComboBox *>(QString::fromUtf8(chooser)));
    if (QWidget *weight = form.findChild<QWidget *>(QStringLiteral("PicSlider")))
        weight->installEventFilter(new WeightWatch(weight));
    for (fader::Fader *f : form.findChildren<fader::Fader *>())
        new SliderWatch(f);
    // An interface made while a control was being built (a reader listening as its text was set)
    // was made for a plain widget; it goes, and the next question makes the right one.
    QList<QWidget *> all = form.findChildren<QWidget *>();
    all << &form;
    for (QWidget *w : all) {
        if (!Handled(w))
            continue;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        if (iface && !dynamic_cast<Ours *>(iface))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(iface));
    }
    for (const Words &w : kWords) {
        QWidget *control = form.findChild<QWidget *>(QString::fromUtf8(w.control));
        if (!control)
            continue;
        const QString name = QString::fromUtf8(w.name);
        if (w.counts)
            control->setProperty(kCounts, name);
        else if (!name.isEmpty())
            control->setAccessibleName(name);
        control->setAccessibleDescription(QString::fromUtf8(w.description));
    }
}

void Announce(QWidget &inWindow, const QString &text)
{
    if (!QAccessible::isActive())
        return;
    QWidget *window = inWindow.window();
    auto *note = window->findChild<QWidget *>(QLatin1String(kAnnouncement), Qt::FindDirectChildrenOnly);
    if (!note) {
        // Of no size and never painted: nothing of the window changes for the eye.
        note = new QWidget(window);
        note->setObjectName(QLatin1String(kAnnouncement));
        note->setGeometry(0, 0, 0, 0);
        note->setAttribute(Qt::WA_TransparentForMouseEvents);
        note->setFocusPolicy(Qt::NoFocus);
        auto *away = new QTimer(note);
        away->setObjectName(QStringLiteral("AnnouncementAway"));
        away->setSingleShot(true);
        away->setInterval(5000);
        QObject::connect(away, &QTimer::timeout, note, &QWidget::hide);
    }
    // News of one turn of the event loop (a key whose effect brings a note of its own) is told as
    // one: a reader reads the name when it takes the event, and would say the last news twice.
    const QString pending = note->property(kPending).toString();
    note->setProperty(kPending, pending.isEmpty() ? text : pending + QStringLiteral(". ") + text);
    if (!pending.isEmpty())
        return;
    QTimer::singleShot(0, note, [note] {
        note->hide();
        note->setAccessibleName(note->property(kPending).toString());
        note->setProperty(kPending, QString());
        note->show();
        note->findChild<QTimer *>(QStringLiteral("AnnouncementAway"))->start();
    });
}

} // namespace ui
