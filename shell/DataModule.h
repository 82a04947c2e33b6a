#pragma once
// What the windows share: the tool's one dark style and the image list.
#include <QIcon>
#include <QObject>
#include <QPalette>

class TDataModule1 : public QObject {
public:
    TDataModule1();
    ~TDataModule1() override;

    // Applies the dark style to the whole application (every window, present and future).
    void StyleBook1() const;
    // The picture named "Menu" (32 x 32 at scale 2) of the resources window's picture buttons.
    QIcon ImageList1(const QString& name) const;

    static QPalette DarkPalette();

private:
    QIcon menu;
};

// The run's data module, created once after the main window; null before.
extern TDataModule1* DataModule1;
