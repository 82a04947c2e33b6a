#include "shell/DataModule.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>

TDataModule1* DataModule1 = nullptr;

namespace {

QIcon makeMenuIcon() {
    QPixmap pixmap(64, 64);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4f, 0xa3, 0xe0));
    // Three bars: the usual sign for "choose from a list".
    for (int row = 0; row < 3; ++row)
        p.drawRoundedRect(QRectF(5, 7 + row * 7.5, 22, 3.5), 1.5, 1.5);
    return QIcon(pixmap);
}

} // namespace

TDataModule1::TDataModule1() : menu(makeMenuIcon()) {
    DataModule1 = this;
    StyleBook1();
}

TDataModule1::~TDataModule1() {
    if (DataModule1 == this)
        DataModule1 = nullptr;
}

QPalette TDataModule1::DarkPalette() {
    QPalette p;
    const QColor window(0x2b, 0x2d, 0x31), base(0x1f, 0x21, 0x24), text(0xe6, 0xe6, 0xe6),
        button(0x36, 0x39, 0x3e), highlight(0x2f, 0x7d, 0xc2), disabled(0x80, 0x80, 0x80);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    p.setColor(QPalette::Link, QColor(0x6c, 0xb6, 0xff));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, button.lighter(130));
    p.setColor(QPalette::Midlight, button.lighter(115));
    p.setColor(QPalette::Mid, button.darker(120));
    p.setColor(QPalette::Dark, base.darker(130));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Button, window);
    return p;
}

void TDataModule1::StyleBook1() const {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(DarkPalette());
    qApp->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid #4a4e55; border-radius: 4px; margin-top: 10px; padding-top: 6px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: #9fc9f0; }"
        "QProgressBar { border: 1px solid #4a4e55; border-radius: 3px; text-align: center; background: #1f2124; }"
        "QProgressBar::chunk { background-color: #2f7dc2; border-radius: 2px; }"));
}

QIcon TDataModule1::ImageList1(const QString& name) const {
    return name == QLatin1String("Menu") ? menu : QIcon();
}
