#include <QAbstractItemView>
#include <QCheckBox>

#include "support/window_test.h"

namespace {

using MainWindowTest = testsupport::WindowTest;

// A fixed size, on top until Check2 releases it. Each check box shows its box, checked or not.
TEST_F(MainWindowTest, Check2ReleasesTheWindowFromTheTopAndCheckBoxesShowTheirBox)
{
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the window cannot be resized";
    ASSERT_TRUE(form->Check2()->isChecked() && form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    for (const bool onTop : {false, true})
        for (const char *name : {"Check2", "chkAccent"}) { // accents start off: each click turns both over
            auto *box = form->control<QCheckBox>(name);
            QTest::mouseClick(box, Qt::LeftButton);
            const bool checked = box == form->Check2() ? onTop : !onTop;
            SCOPED_TRACE(std::string(name) + (checked ? " checked" : " unchecked"));
            EXPECT_EQ(box->isChecked(), checked);
            EXPECT_EQ(form->windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), onTop);
            EXPECT_TRUE(form->isVisible()) << "changing the flag must not hide the window";
            EXPECT_FALSE(box->hasFocus());
            const QImage image = box->grab().toImage();
            // The box: a square at the left as high as the text line, its inside a few pixels in.
            const int side = std::min(box->height(), 13), top = (box->height() - side) / 2;
            auto bright = [&](int in) {
                int n = 0;
                for (int y = top + in; y < top + side - in; ++y)
                    for (int x = in; x < side - in; ++x)
                        n += qGray(image.pixel(x, y)) >= 100;
                return n;
            };
            EXPECT_GE(bright(0), side) << "no visible frame";
            EXPECT_TRUE(checked ? bright(3) >= 4 : bright(3) == 0) << "the mark inside";
        }
}

// An open sound list marks the sound shown, even one set by a preset rather than chosen in the list,
// in a colour that stands out from the list's own.
TEST_F(MainWindowTest, OpenSoundListMarksTheSoundShown)
{
    QComboBox *combo = form->Combo1();
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
