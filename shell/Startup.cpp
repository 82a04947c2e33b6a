#include "shell/Startup.h"

#include "shell/DataModule.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <cstdio>

const QString kNoSwitchWarning =
    QStringLiteral("Błąd: uruchomienie programu możliwe tylko z parametrem.\rSzczegóły w instrukcji obsługi.");

int FindSwitchRow(const std::vector<SwitchRow>& table, const QStringList& parameters) {
    const QString first = parameters.isEmpty() ? QString() : parameters.first();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i].Switch == first)
            return static_cast<int>(i);
    return -1;
}

void ApplyWindowFrame(QWidget& window, const QString& caption, int clientWidth, int clientHeight) {
    window.setWindowTitle(caption);
    window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window.setFixedSize(clientWidth, clientHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(clientWidth / 2, clientHeight / 2));
    }
}

std::unique_ptr<QWidget> CreateMainWindow(const std::vector<SwitchRow>& table, const QStringList& parameters) {
    const int row = FindSwitchRow(table, parameters);
    if (row >= 0)
        return table[static_cast<std::size_t>(row)].Create();
    // Qt breaks lines only at line feeds; the text itself keeps its carriage return.
    QMessageBox box(QMessageBox::Warning, QString(), QString(kNoSwitchWarning).replace(QLatin1Char('\r'), QLatin1Char('\n')),
                    QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return nullptr;
}

QStringList StartupParameters(int argc, char** argv) {
    QStringList parameters;
    for (int i = 1; i < argc; ++i)
        parameters.append(QString::fromLocal8Bit(argv[i]));
    return parameters;
}

int RunStartup(int argc, char** argv, const std::vector<SwitchRow>& table) {
    const QStringList parameters = StartupParameters(argc, argv);
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> window = CreateMainWindow(table, parameters);
    // The data module comes after the window, in every case.
    TDataModule1 dataModule;
    if (!window)
        return 0;
    window->show();
    // For the package test: which window a launcher's command opens, once it is up.
    if (qEnvironmentVariableIsSet("NODARIX_PRINT_CAPTION")) {
        QTimer::singleShot(0, &app, [&] {
            std::puts(window->windowTitle().toUtf8().constData());
            app.quit();
        });
    }
    return app.exec();
}
