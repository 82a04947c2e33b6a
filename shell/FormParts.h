#pragma once
// Small pieces the windows' forms are built from.
#include <QString>

class QGridLayout;
class QWidget;

// The captions and defaults of every window's controller address boxes.
namespace connection_text {
inline constexpr char kAddress[] = "Adres Nodarix-a";
inline constexpr char kAddressInitial[] = "192.168.0.177";
inline constexpr char kTcpPort[] = "Port TCP";
inline constexpr char kTcpPortInitial[] = "7080";
inline constexpr char kPassword[] = "Hasło sterowania";
inline constexpr char kPasswordInitial[] = "8052";
} // namespace connection_text

// A text of the window's source (UTF-8) as shown.
inline QString tr8(const char* s) {
    return QString::fromUtf8(s);
}

// Places a caption above its control: the caption at `row`, the control at `row` + 1.
void captioned(QGridLayout* grid, int row, int column, const QString& caption, QWidget* field);

// What a window's file dialog asks for.
struct TFileDialogSpec {
    bool Save = false;
    QString Filter;           // "description (*.ext)"
    QString DefaultExtension; // without the dot
};

// Shows the file dialog; the chosen file, or empty text when cancelled.
QString runFileDialog(QWidget* parent, const TFileDialogSpec& spec);
