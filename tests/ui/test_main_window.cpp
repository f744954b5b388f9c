#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/frm_metronom.h"
#include "ui/controls.h"
#include "ui/window_layout.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    app::FrmMetronom form;
};

TEST_F(MainWindowTest, CaptionFixedClientAreaAndAlwaysOnTop)
{
    EXPECT_EQ(form.windowTitle(), "Lindoquet Metronome Vintra (Preview Version)");
    EXPECT_EQ(form.size(), QSize(790, 509));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the window cannot be resized";
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// Every control of the description exists as a widget, in its container, at twips / 15, with its
// design-time text and visibility.
TEST_F(MainWindowTest, EveryControlAtItsPlaceWithItsDesignText)
{
    for (const ui::ControlSpec &s : ui::MainWindowControls()) {
        SCOPED_TRACE(s.name);
        QWidget *w = form.control(QString::fromStdString(s.name));
        ASSERT_NE(w, nullptr);
        QWidget *container = s.parent.empty() ? &form : form.control(QString::fromStdString(s.parent));
        EXPECT_EQ(w->parentWidget(), container);
        EXPECT_EQ(w->geometry(), QRect(s.left / 15, s.top / 15, s.width / 15, s.height / 15));
        EXPECT_EQ(w->isHidden(), !s.visible);
        const QString caption = QString::fromStdString(s.caption);
        if (auto *label = qobject_cast<QLabel *>(w)) {
            EXPECT_EQ(label->text(), caption);
        }
        if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            EXPECT_EQ(button->text(), caption);
            EXPECT_EQ(button->isChecked(), s.checked);
        }
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            EXPECT_EQ(combo->currentText(), caption);
        }
        EXPECT_EQ(w->toolTip(), QString::fromStdString(s.toolTip));
        EXPECT_EQ(w->font().pixelSize(), ui::PointsToPixels(s.fontPoints));
        EXPECT_EQ(w->font().bold(), s.bold);
    }
}

struct DesignCase {
    const char *name;
    QRect pixels;
    const char *text;
};
void PrintTo(const DesignCase &c, std::ostream *os) { *os << c.name; }

class DesignTextTest : public MainWindowTest, public ::testing::WithParamInterface<DesignCase> {};

TEST_P(DesignTextTest, WindowReadsAsDesignedBeforeSetUp)
{
    const DesignCase &c = GetParam();
    QWidget *w = form.control(c.name);
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_EQ(w->geometry(), c.pixels) << c.name;
    QString text;
    if (auto *l = qobject_cast<QLabel *>(w))
        text = l->text();
    else if (auto *b = qobject_cast<QAbstractButton *>(w))
        text = b->text();
    else if (auto *cb = qobject_cast<QComboBox *>(w))
        text = cb->currentText();
    EXPECT_EQ(text, QString::fromUtf8(c.text)) << c.name;
}

// Hand-checked places: a wrong row in the description shows here, not only against itself.
INSTANTIATE_TEST_SUITE_P(
    Controls, DesignTextTest,
    ::testing::Values(DesignCase{"PicMet", {0, 0, 308, 508}, ""}, DesignCase{"PicSlider", {136, 154, 32, 32}, ""},
                      DesignCase{"cboPresets", {456, 356, 85, 21}, "Rhythmus"},
                      DesignCase{"chkAccent", {320, 355, 77, 21}, "Akzente"},
                      DesignCase{"lblBPM", {5, 0, 85, 65}, "120"}, DesignCase{"lblBeat", {0, -36, 225, 393}, "1"},
                      DesignCase{"Label4", {336, 132, 185, 17}, "Schläge pro Minute (BPM)"},
                      DesignCase{"imgBeat(7)", {516, 382, 23, 30}, ""}, DesignCase{"shpBeat", {320, 415, 24, 9}, ""},
                      DesignCase{"Check1", {556, 424, 225, 78}, "S T A R T"}));

TEST_F(MainWindowTest, OnlyTheFirstFourLampsOfEachRowShow)
{
    for (int i = 0; i < 8; ++i) {
        for (const char *row : {"imgBeat", "imgSnare"}) {
            auto *lamp = form.control<ui::LampImage>(QString::fromStdString(ui::ArrayName(row, i)));
            ASSERT_NE(lamp, nullptr);
            EXPECT_EQ(lamp->isHidden(), i >= 4) << row << i;
            EXPECT_EQ(lamp->number(), i + 1);
        }
    }
}

TEST_F(MainWindowTest, NothingShownOutsideTheClientAreaAndNothingButCombosTakesTheFocus)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QRect client = form.rect();
    for (QWidget *w : form.findChildren<QWidget *>()) {
        if (!w->isVisible() || w->isWindow() || w->parentWidget() != &form)
            continue;
        EXPECT_TRUE(client.contains(w->geometry())) << w->objectName().toStdString();
        if (!qobject_cast<QComboBox *>(w) && !w->inherits("QLineEdit")) {
            EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowTest, Check2ReleasesTheWindowFromTheTopAndPutsItBack)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QCheckBox *check2 = form.Check2();
    ASSERT_TRUE(check2->isChecked());
    QTest::mouseClick(check2, Qt::LeftButton);
    EXPECT_FALSE(check2->isChecked());
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(form.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.isVisible()) << "changing the flag must not hide the window";
    QTest::mouseClick(check2, Qt::LeftButton);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(check2->hasFocus());
}

TEST_F(MainWindowTest, ClosingRequestsTheStop)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_FALSE(form.StopRequested());
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(form.StopRequested());
    EXPECT_FALSE(form.isVisible());
}

// Both check boxes show a box on the black window whether checked or not, and a mark inside only
// when checked.
TEST_F(MainWindowTest, CheckBoxesShowTheirBoxCheckedOrNot)
{
    auto brightPixels = [](const QImage &image, const QRect &area) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += qGray(image.pixel(x, y)) >= 100;
        return n;
    };
    for (const char *name : {"chkAccent", "Check2"}) {
        auto *box = form.control<QCheckBox>(name);
        ASSERT_NE(box, nullptr);
        for (const bool checked : {false, true}) {
            SCOPED_TRACE(std::string(name) + (checked ? " checked" : " unchecked"));
            box->setChecked(checked);
            const QImage image = box->grab().toImage();
            // The box: a square at the left as high as the text line, its inside a few pixels in.
            const int side = std::min(box->height(), 13), top = (box->height() - side) / 2;
            const QRect square(0, top, side, side);
            EXPECT_GE(brightPixels(image, square), side) << "no visible frame";
            const int inside = brightPixels(image, square.adjusted(3, 3, -3, -3));
            if (checked) {
                EXPECT_GE(inside, 4) << "no mark";
            } else {
                EXPECT_EQ(inside, 0);
            }
        }
    }
}

// An open sound list marks the sound shown, even one set by a preset rather than chosen in the list,
// in a colour that stands out from the list's own.
TEST_F(MainWindowTest, OpenSoundListMarksTheSoundShown)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QComboBox *combo = form.Combo1();
    combo->addItems({"Bassdrum", "Claves", "Klack", "Sticks"});
    combo->setEditText("Klack");
    combo->showPopup();
    QAbstractItemView *list = combo->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
    EXPECT_EQ(list->currentIndex().data().toString().toStdString(), "Klack");
    EXPECT_EQ(combo->currentText(), "Klack");
    const QImage image = list->viewport()->grab().toImage();
    auto rowColour = [&](int row) {
        const QRect r = list->visualRect(combo->model()->index(row, 0));
        return qGray(image.pixel(r.right() - 2, r.center().y()));
    };
    EXPECT_GE(rowColour(2) - rowColour(0), 64) << "the marked row is hard to tell from the others";
    combo->hidePopup();
}

} // namespace
