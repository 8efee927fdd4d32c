#include "gui/shell/errorreport.h"

#include <QApplication>
#include <QMessageBox>

namespace foresyn {

void ReportError(QWidget* parent, const QString& text) {
    QApplication::beep();
    QMessageBox::warning(parent, QApplication::applicationDisplayName(), text);
}

} // namespace foresyn
