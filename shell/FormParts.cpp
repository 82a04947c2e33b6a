#include "shell/FormParts.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

void captioned(QGridLayout* grid, int row, int column, const QString& caption, QWidget* field) {
    auto* label = new QLabel(caption);
    label->setBuddy(field);
    grid->addWidget(label, row, column);
    grid->addWidget(field, row + 1, column);
}

QString runFileDialog(QWidget* parent, const TFileDialogSpec& spec) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(spec.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(spec.Filter);
    dialog.setDefaultSuffix(spec.DefaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}
