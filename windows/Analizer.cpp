#include "windows/Analizer.h"

#include "shell/Startup.h"

#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

const QString TfmWindows_Analizer::kCaption = QStringLiteral("Analizator nodarix-a");
const QString TfmWindows_Analizer::kLabel = QStringLiteral("Opcja będzie dostępna wkrótce");

TfmWindows_Analizer::TfmWindows_Analizer(QWidget* parent) : QWidget(parent) {
    auto* label = new QLabel(kLabel, this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    label->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label, 0, Qt::AlignCenter);
    ApplyWindowFrame(*this, kCaption, 640, 480);
}
