// A stand-in for the desktop's notification service on a private session
// bus. Logs every notification as one line "summary|body|actions|desktop-entry"
// to LOG, then answers it as MODE says: "open" invokes the action "open",
// "close" closes it, "keep" leaves it, "noactions" offers no actions at all.
//   fake_notifications MODE LOG
#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QTimer>
#include <QVariantMap>

class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
  public:
    FakeNotifications(QString mode, QString log) : mode_(std::move(mode)), log_(std::move(log)) {}

  public slots:
    QStringList GetCapabilities() {
        return mode_ == u"noactions" ? QStringList{"body"} : QStringList{"body", "actions"};
    }
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int) {
        QFile file(log_);
        if (file.open(QIODevice::Append)) {
            file.write(QStringList{summary, body, actions.join(u','),
                                   hints.value("desktop-entry").toString()}
                           .join(u'|')
                           .toUtf8() +
                       '\n');
        }
        const uint id = ++last_;
        QTimer::singleShot(0, this, [this, id] {
            if (mode_ == u"open") {
                emit ActionInvoked(id, "open");
            } else if (mode_ == u"close") {
                emit NotificationClosed(id, 2);
            }
        });
        return id;
    }
    void CloseNotification(uint) {}

  signals:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

  private:
    QString mode_;
    QString log_;
    uint last_ = 0;
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        return 2;
    }
    FakeNotifications fake(argv[1], argv[2]);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject("/org/freedesktop/Notifications", &fake,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) ||
        !bus.registerService("org.freedesktop.Notifications")) {
        return 1;
    }
    QFile ready(QString(argv[2]) + ".ready");
    ready.open(QIODevice::WriteOnly);
    return app.exec();
}

#include "fake_notifications.moc"
