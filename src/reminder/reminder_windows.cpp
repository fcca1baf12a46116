#include <QApplication>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QProcess>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "plan/reminder_files.h"
#include "reminder/reminder_platform.h"

// The reminder on Windows: a Task Scheduler task of the user's, and a
// message from the notification area.

namespace hibi::reminder {

namespace {

// How long the message may still be clicked.
constexpr int kWaitForAnswerMs = 4 * 60 * 60 * 1000;

struct Run {
    bool ok = false;
    QString output;
};

Run schtasks(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("schtasks.exe"), arguments);
    const bool finished = process.waitForFinished(15000);
    Run run;
    run.output = QString::fromLocal8Bit(process.readAll()).trimmed();
    run.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    return run;
}

// The task's definition as the Task Scheduler holds it, or empty.
QString installedTask() {
    const Run query = schtasks({QStringLiteral("/Query"), QStringLiteral("/TN"), reminderTaskName(),
                                QStringLiteral("/XML")});
    return query.ok ? query.output : QString();
}

}  // namespace

QString setupLocation() {
    return QStringLiteral("タスク スケジューラ「%1」").arg(reminderTaskName());
}

Setup current(const QString& program, const QString& directory) {
    Setup setup;
    const QString task = installedTask();
    if (task.isEmpty()) {
        return setup;
    }
    setup.on = true;
    setup.time = reminderTaskTime(task).value_or(QTime());
    // The definition names the program and the folder; another folder's
    // task reads differently.
    const QString arguments =
        QStringLiteral("--remind ") + windowsQuoted(QDir::toNativeSeparators(directory))
                                          .toHtmlEscaped()
                                          .replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    setup.forThisFolder = task.contains(QDir::toNativeSeparators(program).toHtmlEscaped()) &&
                          task.contains(arguments);
    return setup;
}

std::optional<QString> turnOff() {
    if (installedTask().isEmpty()) {
        return std::nullopt;
    }
    const Run remove = schtasks({QStringLiteral("/Delete"), QStringLiteral("/TN"),
                                 reminderTaskName(), QStringLiteral("/F")});
    if (!remove.ok) {
        return QStringLiteral("タスクを削除できませんでした。\n%1").arg(remove.output);
    }
    return std::nullopt;
}

std::optional<QString> turnOn(const QTime& time, const QString& program, const QString& directory) {
    // The definition passes through a file of its own in a folder of its own,
    // which goes again at once.
    QTemporaryDir folder;
    if (!folder.isValid()) {
        return QStringLiteral("一時フォルダーを作れませんでした。");
    }
    const QString path = folder.filePath(QStringLiteral("task.xml"));
    QFile file(path);
    const QString xml = reminderTaskXml(time, program, directory);
    QByteArray bytes("\xFF\xFE");  // UTF-16 LE with its mark, as the Task Scheduler writes
    bytes.append(reinterpret_cast<const char*>(xml.utf16()), xml.size() * 2);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        return QStringLiteral("タスクの定義を書き込めませんでした。");
    }
    file.close();
    const Run create =
        schtasks({QStringLiteral("/Create"), QStringLiteral("/TN"), reminderTaskName(),
                  QStringLiteral("/XML"), QDir::toNativeSeparators(path), QStringLiteral("/F")});
    if (!create.ok) {
        return QStringLiteral("タスクを登録できませんでした。\n%1").arg(create.output);
    }
    return std::nullopt;
}

int notify(int& argc, char** argv, const QString& title, const QString& text,
           const QString& directory) {
    QApplication app(argc, argv);
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        std::fprintf(stderr, "hibinobori: 通知領域がありません / no notification area\n");
        return 1;
    }
    QSystemTrayIcon tray(QIcon(QStringLiteral(":/images/app_icon.png")));
    tray.setToolTip(title);
    tray.show();
    // A click on the message is its "開く".
    QObject::connect(&tray, &QSystemTrayIcon::messageClicked, &app, [&] {
        QProcess::startDetached(QCoreApplication::applicationFilePath(), {}, directory);
        QCoreApplication::quit();
    });
    tray.showMessage(title, text + QStringLiteral("\nクリックすると開きます。"),
                     QSystemTrayIcon::Information, kWaitForAnswerMs);
    QTimer::singleShot(kWaitForAnswerMs, &app, &QCoreApplication::quit);
    return app.exec() == 0 ? 0 : 1;
}

}  // namespace hibi::reminder
