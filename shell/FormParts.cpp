#include "shell/FormParts.h"

#include <QGridLayout>
#include <QLabel>

void captioned(QGridLayout* grid, int row, int column, const QString& caption, QWidget* field) {
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row + 1, column);
}
