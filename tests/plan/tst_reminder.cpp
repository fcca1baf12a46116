#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "plan/reminder.h"
#include "plan/reminder_files.h"
#include "test_support.h"

using hibi::ReminderCheck;
using namespace hibi::testing;

namespace {

const QDate kToday(2010, 6, 10);

// The decision for a folder whose ledger holds one deposit on each of the
// given days before kToday.
ReminderCheck checkWith(const QList<int>& daysAgo) {
    QTemporaryDir dir;
    QByteArray ledger;
    for (int ago : daysAgo) {
        ledger += ledgerLine(kToday.addDays(-ago), QStringLiteral("07:00:00"), "1");
    }
    writeBytes(dir.filePath(QStringLiteral("ヒビノボリ.txt")), ledger);
    return hibi::checkReminder(dir.path(), kToday);
}

// The text of the first element named name in xml.
QString element(const QString& xml, const QString& name) {
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == name) {
            return reader.readElementText();
        }
    }
    return QStringLiteral("<none>");
}

}  // namespace

class ReminderTest : public QObject {
    Q_OBJECT
  private slots:
    void remindsOfTodayAndTheArrears() {
        // Day 436, the last deposit three days ago: the 8th and 9th were missed.
        ReminderCheck check = checkWith({435, 3});
        QCOMPARE(check.kind, ReminderCheck::Kind::Due);
        QCOMPARE(check.text,
                 QStringLiteral("今日は436円の日です（8日からの滞納金 869円、計 1305円）"));
        // The last deposit on the last day of a month: arrears from the 1st.
        check = checkWith({12, 10});  // 31 May
        QCOMPARE(check.text, QStringLiteral("今日は13円の日です（1日からの滞納金 72円、計 85円）"));
        QCOMPARE(checkWith({1}).text, QStringLiteral("今日は2円の日です"));
        QCOMPARE(checkWith({}).text, QStringLiteral("今日は1円の日です"));
    }

    void silentWhenDoneOrUntrustworthy() {
        QCOMPARE(checkWith({2, 0}).kind, ReminderCheck::Kind::Done);
        // Dated after today, or last before first: nothing can be told.
        for (const QList<int>& days : {QList<int>{3, -1}, {-2}, {1, 5}}) {
            const ReminderCheck check = checkWith(days);
            QCOMPARE(check.kind, ReminderCheck::Kind::CannotTell);
            QVERIFY(!check.text.isEmpty() && !check.text.contains(u'\n'));
        }
    }

    void unreadableLedgersAreReadOnly() {
        QTemporaryDir dir;
        const QString ledger = dir.filePath(QStringLiteral("ヒビノボリ.txt"));
        QCOMPARE(hibi::checkReminder(dir.path(), kToday).kind, ReminderCheck::Kind::CannotTell);
        QVERIFY(QDir(dir.path()).isEmpty());  // no ledger is made
        const QByteArray bad = ledgerLine(kToday.addDays(-1), "07:00:00", "1") + "broken\r\n";
        writeBytes(ledger, bad);
        const ReminderCheck check = hibi::checkReminder(dir.path(), kToday);
        QCOMPARE(check.kind, ReminderCheck::Kind::CannotTell);
        QVERIFY(check.text.contains(QStringLiteral("2 行目")));
        QCOMPARE(readBytes(ledger), bad);
        QCOMPARE(QDir(dir.path()).count(), 3u);  // ".", ".." and the ledger
    }

    void timerFiresDailyAtTheTimeAndCatchesUp() {
        const QString timer = hibi::reminderTimerUnit(QTime(7, 5));
        QVERIFY(timer.contains(QStringLiteral("\n[Timer]\nOnCalendar=*-*-* 07:05:00\n")));
        QVERIFY(timer.contains(QStringLiteral("\nPersistent=true\n")));
        QVERIFY(timer.contains(QStringLiteral("\n[Install]\nWantedBy=timers.target\n")));
        QCOMPARE(hibi::reminderTimerTime(timer), QTime(7, 5));
        QCOMPARE(hibi::reminderTimerTime(QStringLiteral("OnCalendar=daily\n")), std::nullopt);
    }

    void commandLinesSurviveEachReader() {
        const QString program = QStringLiteral("/opt/my apps/hibinobori");
        const QString folder = QStringLiteral("/home/u/100% \"貯金\" $HOME\\x");
        QVERIFY(hibi::reminderServiceUnit(program, folder)
                    .contains(QStringLiteral("\nExecStart=\"/opt/my apps/hibinobori\" --remind "
                                             "\"/home/u/100%% \\\"貯金\\\" $$HOME\\\\x\"\n")));
        QVERIFY(hibi::reminderAutostartEntry(program, folder)
                    .contains(QStringLiteral("\nExec=\"/opt/my apps/hibinobori\" --remind "
                                             "\"/home/u/100%% \\\\\"貯金\\\\\" \\\\$HOME"
                                             "\\\\\\\\x\"\n")));
        QCOMPARE(hibi::windowsQuoted(QStringLiteral("C:\\My Docs\\")),
                 QStringLiteral("\"C:\\My Docs\\\\\""));
        QCOMPARE(hibi::windowsQuoted(QStringLiteral("a\\\\\"b")),
                 QStringLiteral("\"a\\\\\\\\\\\"b\""));
    }

    void systemdTakesTheUnitsWithoutComplaint() {
        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty()) {
            QSKIP("systemd-analyze is not installed");
        }
        QTemporaryDir dir;
        QTemporaryDir runtime;  // verify --user needs one, even without a user systemd
        const QString folder = QStringLiteral("/home/u/100% \"貯金\" $HOME\\x");
        writeBytes(
            dir.filePath(hibi::reminderServiceName()),
            hibi::reminderServiceUnit(QCoreApplication::applicationFilePath(), folder).toUtf8());
        writeBytes(dir.filePath(hibi::reminderTimerName()),
                   hibi::reminderTimerUnit(QTime(20, 0)).toUtf8());
        QProcess verify;
        verify.setWorkingDirectory(dir.path());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        verify.setProcessEnvironment(env);
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(analyze, {QStringLiteral("verify"), QStringLiteral("--user"),
                               QStringLiteral("./") + hibi::reminderTimerName(),
                               QStringLiteral("./") + hibi::reminderServiceName()});
        QVERIFY(verify.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(verify.readAll()), QString());
        QCOMPARE(verify.exitCode(), 0);
    }

    void taskRunsDailyAsTheUserAndCatchesUp() {
        const QString xml = hibi::reminderTaskXml(QTime(20, 0), QStringLiteral("C:\\A & B\\h.exe"),
                                                  QStringLiteral("C:\\貯金\\"));
        QCOMPARE(hibi::reminderTaskTime(xml), QTime(20, 0));
        QCOMPARE(element(xml, QStringLiteral("DaysInterval")), QStringLiteral("1"));
        QCOMPARE(element(xml, QStringLiteral("StartWhenAvailable")), QStringLiteral("true"));
        QCOMPARE(element(xml, QStringLiteral("LogonType")), QStringLiteral("InteractiveToken"));
        QCOMPARE(element(xml, QStringLiteral("Command")), QStringLiteral("C:\\A & B\\h.exe"));
        QCOMPARE(element(xml, QStringLiteral("Arguments")),
                 QStringLiteral("--remind \"C:\\貯金\\\\\""));
    }
};

QTEST_GUILESS_MAIN(ReminderTest)
#include "tst_reminder.moc"
