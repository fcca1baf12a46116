#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QProcess>
#include <QTimer>
#include <QVariantMap>
#include <cstdio>

#include "reminder/reminder_platform.h"

// The notification through the freedesktop notification service on the
// session bus. Needs no display.

namespace hibi::reminder {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kOpenAction = QStringLiteral("open");

// How long an unanswered notification may still be opened: servers keep
// notifications in a list after the bubble goes.
constexpr int kWaitForAnswerMs = 4 * 60 * 60 * 1000;

void complain(const QString& what) {
    std::fprintf(stderr, "hibinobori: %s\n", qPrintable(what));
}

// Waits for the user's answer to one notification.
class Answer : public QObject {
    Q_OBJECT
  public:
    explicit Answer(QString directory) : directory_(std::move(directory)) {}
    void setId(uint id) { id_ = id; }

  public slots:
    void actionInvoked(uint id, const QString& action) {
        if (id == 0 || id != id_ ||
            (action != kOpenAction && action != QStringLiteral("default"))) {
            return;
        }
        if (!QProcess::startDetached(QCoreApplication::applicationFilePath(), {}, directory_)) {
            complain(
                QStringLiteral("プログラムを起動できませんでした / could not start the "
                               "program"));
        }
        QCoreApplication::quit();
    }
    void closed(uint id, uint /*reason*/) {
        if (id != 0 && id == id_) {
            QCoreApplication::quit();
        }
    }

  private:
    uint id_ = 0;
    QString directory_;
};

}  // namespace

int notify(int& argc, char** argv, const QString& title, const QString& text,
           const QString& directory) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        complain(QStringLiteral("セッションバスにつながりません / no session bus: %1")
                     .arg(bus.lastError().message()));
        return 1;
    }
    const QDBusReply<QStringList> capabilities =
        bus.call(QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                QStringLiteral("GetCapabilities")),
                 QDBus::Block, 5000);
    const bool actions =
        capabilities.isValid() && capabilities.value().contains(QStringLiteral("actions"));

    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"),
                 QStringLiteral("io.github.hibinobori.Hibinobori"));
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(1)));
    call << title << uint(0) << QStringLiteral("hibinobori") << title << text
         << (actions ? QStringList{kOpenAction, QStringLiteral("開く")} : QStringList()) << hints
         << int(-1);
    // Subscribed to before the call, so that an answer that comes at once is
    // not missed: signals wait in the queue until the event loop runs.
    auto* answer = new Answer(directory);
    answer->setParent(&app);
    if (actions) {
        bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), answer,
                    SLOT(actionInvoked(uint, QString)));
        bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), answer,
                    SLOT(closed(uint, uint)));
    }
    const QDBusReply<uint> id = bus.call(call, QDBus::Block, 5000);
    if (!id.isValid()) {
        complain(QStringLiteral("お知らせを表示できません / cannot show the notification: %1")
                     .arg(id.error().message()));
        return 1;
    }
    if (!actions) {
        return 0;
    }
    answer->setId(id.value());
    QTimer::singleShot(kWaitForAnswerMs, &app, &QCoreApplication::quit);
    return app.exec() == 0 ? 0 : 1;
}

}  // namespace hibi::reminder

#include "notification_linux.moc"
