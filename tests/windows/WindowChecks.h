#pragma once
// Shared by the window tests: whole-file reads and writes, the look of a window, and modal boxes
// answered from a timer.
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

// Every caption, list, check box and button shows its whole text inside the window; no two controls
// overlap.
// Returns how many controls were looked at.
inline std::size_t ExpectNothingClippedOrOverlapping(QWidget& window) {
    const QRect client = window.rect();
    std::vector<std::pair<QWidget*, QRect>> placed;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisible() || !(qobject_cast<QLabel*>(w) || qobject_cast<QComboBox*>(w) ||
                                 qobject_cast<QLineEdit*>(w) || qobject_cast<QPushButton*>(w) ||
                                 qobject_cast<QCheckBox*>(w) || qobject_cast<QPlainTextEdit*>(w)))
            continue;
        if (qobject_cast<QComboBox*>(w->parentWidget())) // an editable combo box's own edit line
            continue;
        const QRect r(w->mapTo(&window, QPoint(0, 0)), w->size());
        const QString what = w->metaObject()->className() + QStringLiteral(" ") +
                             (qobject_cast<QLabel*>(w) ? qobject_cast<QLabel*>(w)->text() : QString());
        EXPECT_TRUE(client.contains(r)) << what.toStdString();
        // An edit box scrolls its text; the others must fit it.
        if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QPlainTextEdit*>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << what.toStdString();
        }
        EXPECT_GE(w->height(), w->minimumSizeHint().height()) << what.toStdString();
        for (const auto& [other, otherRect] : placed) {
            EXPECT_FALSE(r.intersects(otherRect))
                << what.toStdString() << " overlaps " << other->metaObject()->className();
        }
        placed.emplace_back(w, r);
    }
    return placed.size();
}

// Saves a picture of the window as DIR/name when NODARIX_SCREENSHOT_DIR=DIR is set.
inline void SaveScreenshot(QWidget& window, const QString& name) {
    if (const QByteArray dir = qgetenv("NODARIX_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name));
    }
}

struct SeenBox {
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

// Answers every modal message box that opens while it lives, and remembers what it saw.
class BoxAnswerer {
public:
    BoxAnswerer() {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || box == answered)
                return;
            answered = box;
            boxes.push_back({box->text(), box->icon(), box->standardButtons()});
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
        });
        timer.start();
    }
    bool waitForBoxes(std::size_t count, int ms = 10000) {
        return QTest::qWaitFor([&] { return boxes.size() >= count && !QApplication::activeModalWidget(); },
                               ms);
    }
    std::vector<SeenBox> boxes;

private:
    QTimer timer;
    QMessageBox* answered = nullptr;
};

