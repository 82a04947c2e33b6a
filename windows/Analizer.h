#pragma once
// The analyser mode's window: a finished placeholder until the analyser exists.
#include <QWidget>

class TfmWindows_Analizer : public QWidget {
public:
    explicit TfmWindows_Analizer(QWidget* parent = nullptr);
    static const QString kCaption;
    static const QString kLabel;
};
