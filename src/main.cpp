#include <QApplication>

#include "app/command_line.h"
#include "app/command_line_output.h"
#include "app/window_system_start.h"
#include "main_window/fra_main.h"
#include "ui_common/clock.h"
#include "ui_common/layout.h"
#include "ui_common/translation.h"

using hibi::fraMain;

int main(int argc, char* argv[]) {
    const auto remind = [&](const char* directory) {
        return hibi::app::remind(argc, argv, directory);
    };
    if (const auto exitCode = hibi::app::handleCommandLineHere(argc, argv, remind)) {
        return *exitCode;
    }
    hibi::app::WindowSystemStart start;
    QApplication app(argc, argv);
    start.succeeded();
    Q_INIT_RESOURCE(resources);
    hibi::installQtJapanese(app);
    hibi::loadShippedFonts();
    QApplication::setApplicationName(QStringLiteral("hibinobori"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.hibinobori.Hibinobori"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.png")));

    hibi::Clock clock;
    fraMain window(clock);
    QObject::connect(&window, &fraMain::exitRequested, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.Form_Load();
    return app.exec();
}
