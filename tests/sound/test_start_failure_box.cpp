// The box shown when the sound device cannot be started.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "sound/dx7_sound.h"
#include "sound/start_failure_box.h"

namespace {

TEST(StartFailureBox, TextCaptionOkButtonAndNoIcon)
{
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QMessageBox::StandardButtons buttons;
    bool seen = false;
    // The box is modal: look at it from inside its own event loop, then close it.
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = true;
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    sound::ShowStartFailureBox(sound::kStartFailureText, sound::kStartFailureCaption);
    ASSERT_TRUE(seen);
    EXPECT_EQ(text, QStringLiteral("Unable to start DirectSound. Check to see that your sound card is properly installed"));
    EXPECT_EQ(title, QStringLiteral("Lindoquet Metronome Vintra (Preview)"));
    EXPECT_EQ(icon, QMessageBox::NoIcon);
    EXPECT_EQ(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

} // namespace
