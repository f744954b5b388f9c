// The box shown when the sound device cannot be started.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "sound/sound_output.h"
#include "sound/start_failure_box.h"

namespace {

TEST(StartFailureBox, TextCaptionOkButtonAndNoIcon)
{
    bool seen = false;
    // The box is modal: look at it from inside its own event loop, then close it.
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->text(), "Unable to start DirectSound. Check to see that your sound card is properly installed");
        EXPECT_EQ(box->windowTitle(), "Lindoquet Metronome Vintra (Preview)");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        box->button(QMessageBox::Ok)->click();
    });
    sound::ShowStartFailureBox(sound::kStartFailureText, sound::kStartFailureCaption);
    EXPECT_TRUE(seen);
}

} // namespace
