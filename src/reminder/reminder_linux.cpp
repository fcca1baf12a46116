#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "ledger/atomic_file.h"
#include "plan/reminder_files.h"
#include "reminder/reminder_platform.h"

// The reminder on Linux: a systemd user timer and its service, or an XDG
// autostart entry where no user systemd runs. Everything lives in the user's
// configuration folder.

namespace hibi::reminder {

namespace {

QString configHome() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString unitFolder() {
    return configHome() + QStringLiteral("/systemd/user");
}

QString autostartFolder() {
    return configHome() + QStringLiteral("/autostart");
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

struct Run {
    bool ok = false;
    QString output;
};

Run systemctl(const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("systemctl"), QStringList{QStringLiteral("--user")} + arguments);
    const bool finished = process.waitForFinished(15000);
    Run run;
    run.output = QString::fromUtf8(process.readAll()).trimmed();
    run.ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    return run;
}

// Whether a user systemd answers: the timer needs one.
bool userSystemd() {
    return systemctl({QStringLiteral("show-environment")}).ok;
}

// The folders turnOn made are named in the files it writes, one comment
// line each, so that turning off removes them again and no others.
const QString kMadeFolder = QStringLiteral("# hibinobori-made-folder=");

QStringList missingFolders(const QStringList& folders) {
    QStringList missing;
    for (const QString& folder : folders) {
        if (!QFileInfo::exists(folder)) {
            missing << folder;
        }
    }
    return missing;
}

QStringList madeFolders(const QString& text) {
    QStringList folders;
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(kMadeFolder)) {
            folders << line.mid(kMadeFolder.size());
        }
    }
    return folders;
}

QString withoutMadeFolders(const QString& text) {
    QStringList lines = text.split(u'\n');
    lines.removeIf([](const QString& line) { return line.startsWith(kMadeFolder); });
    return lines.join(u'\n');
}

std::optional<QString> writeOwnFile(const QString& folder, const QString& name, QString text,
                                    const QStringList& made) {
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("フォルダー「%1」を作れませんでした。").arg(folder);
    }
    for (const QString& madeFolder : made) {
        text += kMadeFolder + madeFolder + u'\n';
    }
    if (auto error = writeFileAtomically(folder + u'/' + name, text.toUtf8())) {
        return QStringLiteral("「%1」を書き込めませんでした。\n理由: %2")
            .arg(folder + u'/' + name, error->text);
    }
    return std::nullopt;
}

}  // namespace

QString setupLocation() {
    return configHome();
}

Setup current(const QString& program, const QString& directory) {
    Setup setup;
    const QString timer = readText(unitFolder() + u'/' + reminderTimerName());
    if (!timer.isEmpty()) {
        setup.on = true;
        setup.time = reminderTimerTime(timer).value_or(QTime());
        setup.forThisFolder =
            withoutMadeFolders(readText(unitFolder() + u'/' + reminderServiceName())) ==
            reminderServiceUnit(program, directory);
        return setup;
    }
    const QString entry = readText(autostartFolder() + u'/' + reminderAutostartName());
    if (!entry.isEmpty()) {
        setup.on = true;
        setup.atLogin = true;
        setup.forThisFolder =
            withoutMadeFolders(entry) == reminderAutostartEntry(program, directory);
    }
    return setup;
}

std::optional<QString> turnOff() {
    const QString timer = unitFolder() + u'/' + reminderTimerName();
    const QString service = unitFolder() + u'/' + reminderServiceName();
    const QString entry = autostartFolder() + u'/' + reminderAutostartName();
    const QStringList made = madeFolders(readText(service)) + madeFolders(readText(entry));
    if (QFileInfo::exists(timer) || QFileInfo::exists(service)) {
        // Without a user systemd there is nothing to stop; the files go all the same.
        systemctl({QStringLiteral("disable"), QStringLiteral("--now"), reminderTimerName()});
        systemctl({QStringLiteral("stop"), reminderServiceName()});
        // The link enabling made, should disabling have failed.
        const QString link =
            unitFolder() + QStringLiteral("/timers.target.wants/") + reminderTimerName();
        if (QFileInfo(link).isSymLink()) {
            QFile::remove(link);
        }
        for (const QString& path : {timer, service}) {
            if (QFileInfo::exists(path) && !QFile::remove(path)) {
                return QStringLiteral("「%1」を削除できませんでした。").arg(path);
            }
        }
        systemctl({QStringLiteral("daemon-reload")});
    }
    if (QFileInfo::exists(entry) && !QFile::remove(entry)) {
        return QStringLiteral("「%1」を削除できませんでした。").arg(entry);
    }
    // Deepest first; a folder that holds something else now stays.
    for (auto folder = made.crbegin(); folder != made.crend(); ++folder) {
        QDir().rmdir(*folder);
    }
    return std::nullopt;
}

std::optional<QString> turnOn(const QTime& time, const QString& program, const QString& directory) {
    if (auto problem = turnOff()) {
        return problem;
    }
    if (!userSystemd()) {
        auto problem = writeOwnFile(autostartFolder(), reminderAutostartName(),
                                    reminderAutostartEntry(program, directory),
                                    missingFolders({configHome(), autostartFolder()}));
        if (problem) {
            turnOff();
        }
        return problem;
    }
    // systemctl enable makes the folder of the timers' links.
    const QStringList made =
        missingFolders({configHome(), configHome() + QStringLiteral("/systemd"), unitFolder(),
                        unitFolder() + QStringLiteral("/timers.target.wants")});
    auto problem = writeOwnFile(unitFolder(), reminderServiceName(),
                                reminderServiceUnit(program, directory), made);
    if (!problem) {
        problem = writeOwnFile(unitFolder(), reminderTimerName(), reminderTimerUnit(time), {});
    }
    if (!problem) {
        systemctl({QStringLiteral("daemon-reload")});
        const Run enable =
            systemctl({QStringLiteral("enable"), QStringLiteral("--now"), reminderTimerName()});
        if (!enable.ok) {
            problem = QStringLiteral("タイマーを有効にできませんでした。\n%1").arg(enable.output);
        }
    }
    if (problem) {
        turnOff();
    }
    return problem;
}

}  // namespace hibi::reminder
