#pragma once
// Start-up: the switch table chooses the one window a run shows.
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

struct SwitchRow {
    QString Switch;  // compared exactly and case-sensitively with the first parameter
    QString Caption; // the window's caption
    std::function<std::unique_ptr<QWidget>()> Create;
};

// The first row whose switch equals the first parameter (arguments without the program name),
// or -1. Only the first parameter counts.
int FindSwitchRow(const std::vector<SwitchRow>& table, const QStringList& parameters);

// The warning shown when no switch matches: two sentences separated by one carriage return.
extern const QString kNoSwitchWarning;

// Creates the window of the first matching row. Without one it shows the modal warning box and
// returns null.
std::unique_ptr<QWidget> CreateMainWindow(const std::vector<SwitchRow>& table, const QStringList& parameters);

// The command-line parameters (without the program name) exactly as the process received them.
// Read before the application object exists: that removes the toolkit's own options (-reverse,
// -style X, -platform X, ...) from the command line, and only the first parameter may count.
QStringList StartupParameters(int argc, char** argv);

// Runs the tool: chooses the window, creates it and then the data module, shows the window and
// runs the event loop until it closes. Without a matching switch it shows the warning and ends.
int RunStartup(int argc, char** argv, const std::vector<SwitchRow>& table);

// Gives a window the frame all windows share: fixed client size, close box only, centred.
void ApplyWindowFrame(QWidget& window, const QString& caption, int clientWidth, int clientHeight);
