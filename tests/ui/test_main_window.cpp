#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QTest>

#include "app/frm_metronom.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    app::FrmMetronom form;
};

TEST_F(MainWindowTest, FixedSizeOnTopEverythingInsideAndOnlyCombosTakeTheFocus)
{
    EXPECT_EQ(form.windowTitle(), "Lindoquet Metronome Vintra (Preview Version)");
    EXPECT_EQ(form.size(), QSize(790, 509));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "the window cannot be resized";
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    for (QWidget *w : form.findChildren<QWidget *>()) {
        if (!w->isVisible() || w->isWindow() || w->parentWidget() != &form)
            continue;
        EXPECT_TRUE(form.rect().contains(w->geometry())) << w->objectName().toStdString();
        const bool takesFocus = qobject_cast<QComboBox *>(w) || w->inherits("QLineEdit");
        EXPECT_TRUE(takesFocus || w->focusPolicy() == Qt::NoFocus) << w->objectName().toStdString();
    }
}

TEST_F(MainWindowTest, Check2ReleasesTheWindowFromTheTopAndPutsItBack)
{
    QCheckBox *check2 = form.Check2();
    ASSERT_TRUE(check2->isChecked());
    for (const bool onTop : {false, true}) {
        QTest::mouseClick(check2, Qt::LeftButton);
        EXPECT_EQ(check2->isChecked(), onTop);
        EXPECT_EQ(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        EXPECT_EQ(form.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        EXPECT_TRUE(form.isVisible()) << "changing the flag must not hide the window";
    }
    EXPECT_FALSE(check2->hasFocus());
}

TEST_F(MainWindowTest, ClosingRequestsTheStop)
{
    EXPECT_FALSE(form.StopRequested());
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(form.StopRequested());
}

} // namespace
