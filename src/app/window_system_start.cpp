#include "app/window_system_start.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace hibi::app {
namespace {

QtMessageHandler previousHandler = nullptr;
QByteArray heldMessages;

// The display the user meant, for the message: "DISPLAY=:99".
QByteArray displayNamed() {
    for (const char* name : {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return QByteArray(name) + '=' + value;
        }
    }
    return QByteArrayLiteral("DISPLAY=");
}

void holdOrStop(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        heldMessages += qFormatLogMessage(type, context, text).toLocal8Bit() + '\n';
        return;
    }
    // Nothing has been written yet: the ledger is read only once a window exists.
    const QByteArray line =
        "hibinobori: 画面（ディスプレイ）に接続できないため起動できません / cannot start: "
        "cannot connect to the display (" +
        displayNamed() + ")\n";
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

WindowSystemStart::WindowSystemStart() {
    previousHandler = qInstallMessageHandler(holdOrStop);
}

WindowSystemStart::~WindowSystemStart() {
    succeeded();
}

void WindowSystemStart::succeeded() {
    if (!watching_) {
        return;
    }
    watching_ = false;
    qInstallMessageHandler(previousHandler);
    std::fwrite(heldMessages.constData(), 1, static_cast<size_t>(heldMessages.size()), stderr);
    heldMessages.clear();
}

}  // namespace hibi::app
