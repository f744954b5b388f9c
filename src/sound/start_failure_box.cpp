#include "sound/start_failure_box.h"

#include <QMessageBox>
#include <QString>

namespace sound {

void ShowStartFailureBox(const std::string &text, const std::string &caption, QWidget *window)
{
    // A box of the window stays in front of it, even of a window kept above all others.
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok, window);
    if (window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace sound
