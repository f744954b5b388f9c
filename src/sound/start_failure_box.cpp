#include "sound/start_failure_box.h"

#include <QMessageBox>
#include <QString>

namespace sound {

void ShowStartFailureBox(const std::string &text, const std::string &caption)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace sound
