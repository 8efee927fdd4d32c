#pragma once

#include <QString>

class QWidget;

namespace foresyn {

// How a failure reaches the user: a beep and a warning box with the error's
// own text (which names the file and the reason). Nothing fails silently.
void ReportError(QWidget* parent, const QString& text);

} // namespace foresyn
