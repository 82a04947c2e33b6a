#pragma once
// Small pieces the windows' forms are built from.
#include <QString>

class QGridLayout;
class QWidget;

// A text of the window's source (UTF-8) as shown.
inline QString tr8(const char* s) {
    return QString::fromUtf8(s);
}

// Places a caption above its control: the caption at `row`, the control at `row` + 1.
void captioned(QGridLayout* grid, int row, int column, const QString& caption, QWidget* field);
