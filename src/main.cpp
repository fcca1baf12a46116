#include <QApplication>
#include "app/command_line_output.h"
#include "main_window/fra_main.h"
#include "ui_common/clock.h"
#include "ui_common/layout.h"
#include "ui_common/translation.h"

int main(int argc, char* argv[]) {
    if (const auto exitCode = hibi::app::handleCommandLineHere(argc, argv)) {
        return *exitCode;
    }
    QApplication app(argc, argv);
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
