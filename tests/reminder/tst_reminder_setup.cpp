#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include "plan/reminder_files.h"
#include "reminder/reminder_platform.h"
#include "test_support.h"

using namespace hibi::testing;

namespace {

// Every file and folder under dir, with the content of the files.
QStringList tree(const QString& dir) {
    QStringList entries;
    QDirIterator it(dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        entries << QDir(dir).relativeFilePath(path) + u'|' + QString::fromUtf8(readBytes(path));
    }
    entries.sort();
    return entries;
}

}  // namespace

// The set-up on Linux against a stand-in systemctl that logs its arguments
// and answers as told, in a configuration folder of the test's own.
class ReminderSetupTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        home_.emplace();
        QVERIFY(home_->isValid() && bin_.isValid());
        qputenv("XDG_CONFIG_HOME", home_->filePath(QStringLiteral("config")).toUtf8());
        // The user's own autostart folder, which must stay; no systemd folder yet.
        QDir().mkpath(home_->filePath(QStringLiteral("config/autostart")));
        qputenv("PATH", (bin_.path() + QStringLiteral(":/usr/bin:/bin")).toUtf8());
        log_ = bin_.filePath(QStringLiteral("log"));
        QFile::remove(log_);
        systemctl(QStringLiteral("0"), QStringLiteral("0"));
        before_ = tree(home_->path());
    }

    void timerAndServiceComeAndGo() {
        QCOMPARE(hibi::reminder::turnOn(QTime(6, 45), kProgram, kFolder), std::nullopt);
        const QString units = home_->filePath(QStringLiteral("config/systemd/user/"));
        QCOMPARE(QString::fromUtf8(readBytes(units + hibi::reminderTimerName())),
                 hibi::reminderTimerUnit(QTime(6, 45)));
        QVERIFY(QString::fromUtf8(readBytes(units + hibi::reminderServiceName()))
                    .startsWith(hibi::reminderServiceUnit(kProgram, kFolder)));
        QVERIFY(calls().contains(QStringLiteral("--user enable --now hibinobori-reminder.timer")));
        hibi::reminder::Setup setup = hibi::reminder::current(kProgram, kFolder);
        QVERIFY(setup.on && setup.forThisFolder && !setup.atLogin);
        QCOMPARE(setup.time, QTime(6, 45));
        QVERIFY(!hibi::reminder::current(kProgram, QStringLiteral("/elsewhere")).forThisFolder);

        QCOMPARE(hibi::reminder::turnOff(), std::nullopt);
        QVERIFY(calls().contains(QStringLiteral("--user disable --now hibinobori-reminder.timer")));
        QCOMPARE(tree(home_->path()), before_);
        QVERIFY(!hibi::reminder::current(kProgram, kFolder).on);
    }

    void withoutUserSystemdAnEntryAtLogin() {
        systemctl(QStringLiteral("1"), QStringLiteral("1"));
        QCOMPARE(hibi::reminder::turnOn(QTime(20, 0), kProgram, kFolder), std::nullopt);
        QCOMPARE(QString::fromUtf8(readBytes(home_->filePath(QStringLiteral("config/autostart/") +
                                                             hibi::reminderAutostartName()))),
                 hibi::reminderAutostartEntry(kProgram, kFolder));
        const hibi::reminder::Setup setup = hibi::reminder::current(kProgram, kFolder);
        QVERIFY(setup.on && setup.atLogin && setup.forThisFolder);
        QCOMPARE(hibi::reminder::turnOff(), std::nullopt);
        QCOMPARE(tree(home_->path()), before_);  // the folder the user had stays
    }

    void aTimerThatCannotStartLeavesNothing() {
        systemctl(QStringLiteral("0"), QStringLiteral("1"));
        const auto problem = hibi::reminder::turnOn(QTime(20, 0), kProgram, kFolder);
        QVERIFY(problem && problem->contains(QStringLiteral("タイマー")));
        QCOMPARE(tree(home_->path()), before_);
    }

  private:
    // A systemctl whose "show-environment" exits with reachable and whose
    // "enable" exits with enable; enabling links the timer as systemctl does.
    void systemctl(const QString& reachable, const QString& enable) {
        const QString path = bin_.filePath(QStringLiteral("systemctl"));
        writeBytes(path,
                   QStringLiteral("#!/bin/sh\necho \"$*\" >> '%1'\n"
                                  "wants=\"$XDG_CONFIG_HOME/systemd/user/timers.target.wants\"\n"
                                  "case \"$2\" in show-environment) exit %2;; "
                                  "enable) mkdir -p \"$wants\"; ln -s ../$4 \"$wants/$4\"; "
                                  "exit %3;; disable) rm \"$wants/$4\";; esac\nexit 0\n")
                       .arg(log_, reachable, enable)
                       .toUtf8());
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList calls() const { return QString::fromUtf8(readBytes(log_)).split(u'\n'); }

    const QString kProgram = QStringLiteral("/usr/bin/hibinobori");
    const QString kFolder = QStringLiteral("/home/u/貯金");
    std::optional<QTemporaryDir> home_;
    QTemporaryDir bin_;
    QString log_;
    QStringList before_;
};

QTEST_GUILESS_MAIN(ReminderSetupTest)
#include "tst_reminder_setup.moc"
