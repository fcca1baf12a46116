#include "help/help_viewer.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <unistd.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

enum class Viewer { Stays, Exits, IgnoresTerminate, NotExecutable };

// A stand-in viewer: logs "<its name>|<argument count>|<first argument>" and then, unless told
// otherwise, stays running as a real viewer window would.
void writeViewer(const QString& path, const QString& log, Viewer behaviour = Viewer::Stays) {
    QByteArray script = "#!/bin/sh\n";
    if (behaviour == Viewer::IgnoresTerminate) {
        script += "trap '' TERM\n";  // inherited by sleep across exec
    }
    script += "printf '%s|%s|%s\\n' \"${0##*/}\" \"$#\" \"$1\" >> '" + log.toUtf8() + "'\n";
    script += behaviour == Viewer::Exits ? "exit 0\n" : "exec /bin/sleep 60\n";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(script);
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (behaviour != Viewer::NotExecutable) {
        permissions |= QFile::ExeOwner;
    }
    QVERIFY(file.setPermissions(permissions));
}

QStringList readLog(const QString& log) {
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

bool processAlive(qint64 pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

// Runs `action` with file descriptor 2 redirected and returns what was written to it.
QByteArray captureStandardError(const std::function<void()>& action) {
    QTemporaryFile capture;
    if (!capture.open()) {
        return "capture failed";
    }
    std::fflush(stderr);
    const int saved = ::dup(2);
    ::dup2(capture.handle(), 2);
    action();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

// Counts, and dismisses, every dialog that shows up while it exists: a modal one is caught from
// inside its own event loop.
class DialogWatch {
  public:
    DialogWatch() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { sweep(); });
        m_timer.start(20);
    }
    int dialogsSeen() {
        QCoreApplication::processEvents();
        sweep();
        return m_seen;
    }

  private:
    void sweep() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible()) {
                ++m_seen;
                dialog->reject();
            }
        }
    }
    QTimer m_timer;
    int m_seen = 0;
};

}  // namespace

class TestHelpViewer : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void startsViewerWithAbsolutePath_data();
    void startsViewerWithAbsolutePath();
    void closeAllEndsEveryViewer();
    void closeAllKillsViewerIgnoringTerminate();
    void finishedViewerIsForgotten();
    void destructionClosesViewers();
    void viewerChoice_data();
    void viewerChoice();
    void failureReportsOneLineAndStartsNothing_data();
    void failureReportsOneLineAndStartsNothing();
    void defaultSinkWritesOneLineToStandardError();

  private:
    void collectErrors(HelpViewer& viewer) {
        viewer.setErrorSink([this](const QString& line) { m_errors.append(line); });
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_log;
    QString m_viewer;
    QString m_savedCwd;
    QString m_base;  // the working directory the help files are found in
    QByteArray m_savedPath;
    QStringList m_errors;
    QWidget m_owner;
};

void TestHelpViewer::init() {
    // Among others, QProcess warns when it has to kill a viewer the code left running.
    QTest::failOnWarning(QRegularExpression(".*"));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_log = m_dir->filePath("viewer.log");
    m_viewer = m_dir->filePath("fake-viewer");
    writeViewer(m_viewer, m_log);
    QVERIFY(QDir(m_dir->path()).mkdir("bin"));
    for (const char* name : {"zkHelp.chm", "other.chm", "ヘルプ 一覧.chm"}) {
        QFile file(m_dir->filePath(QString::fromUtf8(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    // Help file names are relative to the working directory.
    m_savedCwd = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir->path()));
    m_base = QDir::currentPath();
    m_savedPath = qgetenv("PATH");
    qunsetenv("HIBINOBORI_HELP_VIEWER");
    m_errors.clear();
}

void TestHelpViewer::cleanup() {
    QDir::setCurrent(m_savedCwd);
    qputenv("PATH", m_savedPath);
    qunsetenv("HIBINOBORI_HELP_VIEWER");
    m_dir.reset();
}

void TestHelpViewer::startsViewerWithAbsolutePath_data() {
    QTest::addColumn<QString>("fileName");
    QTest::newRow("plain") << "zkHelp.chm";
    QTest::newRow("japanese with space") << "ヘルプ 一覧.chm";
}

void TestHelpViewer::startsViewerWithAbsolutePath() {
    QFETCH(QString, fileName);
    HelpViewer viewer;
    collectErrors(viewer);
    viewer.setViewerProgram(m_viewer);
    viewer.showHelp(&m_owner, fileName);

    QTRY_COMPARE(readLog(m_log).size(), 1);
    QCOMPARE(readLog(m_log).first(), "fake-viewer|1|" + m_base + '/' + fileName);
    QCOMPARE(viewer.viewerProcessIds().size(), 1);
    QVERIFY(m_errors.isEmpty());
}

void TestHelpViewer::closeAllEndsEveryViewer() {
    HelpViewer viewer;
    collectErrors(viewer);
    viewer.setViewerProgram(m_viewer);
    viewer.showHelp(&m_owner, "zkHelp.chm");
    viewer.showHelp(&m_owner, "other.chm");
    QTRY_COMPARE(readLog(m_log).size(), 2);
    const QList<qint64> pids = viewer.viewerProcessIds();
    QCOMPARE(pids.size(), 2);
    QVERIFY(pids[0] != pids[1]);
    QVERIFY(processAlive(pids[0]) && processAlive(pids[1]));

    viewer.closeAll();
    QVERIFY(viewer.viewerProcessIds().isEmpty());
    QVERIFY(!processAlive(pids[0]));
    QVERIFY(!processAlive(pids[1]));

    viewer.closeAll();
    QVERIFY(viewer.viewerProcessIds().isEmpty());
    QVERIFY(m_errors.isEmpty());

    // Help can be opened again afterwards.
    viewer.showHelp(&m_owner, "zkHelp.chm");
    QCOMPARE(viewer.viewerProcessIds().size(), 1);
}

void TestHelpViewer::closeAllKillsViewerIgnoringTerminate() {
    writeViewer(m_viewer, m_log, Viewer::IgnoresTerminate);
    HelpViewer viewer;
    viewer.setViewerProgram(m_viewer);
    viewer.showHelp(&m_owner, "zkHelp.chm");
    QTRY_COMPARE(readLog(m_log).size(), 1);  // the trap is set before it logs
    const qint64 pid = viewer.viewerProcessIds().value(0);
    QVERIFY(pid > 0);

    viewer.closeAll();
    QVERIFY(!processAlive(pid));
}

void TestHelpViewer::finishedViewerIsForgotten() {
    writeViewer(m_viewer, m_log, Viewer::Exits);
    HelpViewer viewer;
    viewer.setViewerProgram(m_viewer);
    viewer.showHelp(&m_owner, "zkHelp.chm");
    QTRY_VERIFY(viewer.viewerProcessIds().isEmpty());
    viewer.closeAll();
    QCOMPARE(readLog(m_log).size(), 1);
}

void TestHelpViewer::destructionClosesViewers() {
    qint64 pid = 0;
    {
        HelpViewer viewer;
        viewer.setViewerProgram(m_viewer);
        viewer.showHelp(&m_owner, "zkHelp.chm");
        pid = viewer.viewerProcessIds().value(0);
        QVERIFY(processAlive(pid));
    }
    QVERIFY(!processAlive(pid));
}

void TestHelpViewer::viewerChoice_data() {
    QTest::addColumn<QStringList>("onPath");  // "name" or "name-noexec"
    QTest::addColumn<bool>("environment");    // HIBINOBORI_HELP_VIEWER names env-viewer
    QTest::addColumn<bool>("setter");         // setViewerProgram names set-viewer
    QTest::addColumn<QString>("expected");    // empty: no viewer can be found

    const QStringList all{"xdg-open", "kchmviewer", "xchm"};
    QTest::newRow("xchm first") << all << false << false << "xchm";
    QTest::newRow("kchmviewer next")
        << QStringList{"xdg-open", "kchmviewer"} << false << false << "kchmviewer";
    QTest::newRow("xdg-open last") << QStringList{"xdg-open"} << false << false << "xdg-open";
    QTest::newRow("non-executable skipped")
        << QStringList{"xchm-noexec", "kchmviewer"} << false << false << "kchmviewer";
    QTest::newRow("environment beats search") << all << true << false << "env-viewer";
    QTest::newRow("setter beats environment") << all << true << true << "set-viewer";
    QTest::newRow("nothing found") << QStringList{"xchm-noexec"} << false << false << QString();
}

void TestHelpViewer::viewerChoice() {
    QFETCH(QStringList, onPath);
    QFETCH(bool, environment);
    QFETCH(bool, setter);
    QFETCH(QString, expected);

    const QString bin = m_dir->filePath("bin");
    for (QString name : onPath) {
        const bool executable = !name.endsWith("-noexec");
        name.remove("-noexec");
        writeViewer(bin + '/' + name, m_log, executable ? Viewer::Stays : Viewer::NotExecutable);
    }
    qputenv("PATH", QFile::encodeName(bin));
    HelpViewer viewer;
    collectErrors(viewer);
    if (environment) {
        writeViewer(m_dir->filePath("env-viewer"), m_log);
        qputenv("HIBINOBORI_HELP_VIEWER", QFile::encodeName(m_dir->filePath("env-viewer")));
    }
    if (setter) {
        writeViewer(m_dir->filePath("set-viewer"), m_log);
        viewer.setViewerProgram(m_dir->filePath("set-viewer"));
    }

    DialogWatch dialogs;
    viewer.showHelp(&m_owner, "zkHelp.chm");
    if (expected.isEmpty()) {
        QVERIFY(viewer.viewerProcessIds().isEmpty());
        QCOMPARE(m_errors.size(), 1);
        QVERIFY2(m_errors[0].contains(m_base + "/zkHelp.chm"), qPrintable(m_errors[0]));
    } else {
        QTRY_COMPARE(readLog(m_log).size(), 1);
        QCOMPARE(readLog(m_log).first().section(u'|', 0, 0), expected);
        QVERIFY(m_errors.isEmpty());
    }
    QCOMPARE(dialogs.dialogsSeen(), 0);
}

void TestHelpViewer::failureReportsOneLineAndStartsNothing_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("viewerProgram");  // relative to the temporary directory
    QTest::addColumn<QString>("mentioned");      // expected in the message besides the file

    QTest::newRow("missing file") << "absent.chm"
                                  << "fake-viewer" << QString();
    QTest::newRow("directory") << "bin"
                               << "fake-viewer" << QString();
    QTest::newRow("viewer does not exist") << "zkHelp.chm"
                                           << "no-such-viewer"
                                           << "no-such-viewer";
    QTest::newRow("viewer not executable") << "zkHelp.chm"
                                           << "plain-file"
                                           << "plain-file";
}

void TestHelpViewer::failureReportsOneLineAndStartsNothing() {
    QFETCH(QString, fileName);
    QFETCH(QString, viewerProgram);
    QFETCH(QString, mentioned);
    writeViewer(m_dir->filePath("plain-file"), m_log, Viewer::NotExecutable);

    HelpViewer viewer;
    collectErrors(viewer);
    viewer.setViewerProgram(m_dir->filePath(viewerProgram));
    DialogWatch dialogs;
    viewer.showHelp(&m_owner, fileName);

    QVERIFY(viewer.viewerProcessIds().isEmpty());
    QCOMPARE(m_errors.size(), 1);
    QVERIFY2(m_errors[0].contains(m_base + '/' + fileName), qPrintable(m_errors[0]));
    QVERIFY2(m_errors[0].contains(mentioned), qPrintable(m_errors[0]));
    QCOMPARE(dialogs.dialogsSeen(), 0);
    QTest::qWait(100);
    QVERIFY(readLog(m_log).isEmpty());
}

void TestHelpViewer::defaultSinkWritesOneLineToStandardError() {
    HelpViewer viewer;
    viewer.setViewerProgram(m_viewer);
    const QString name = "two\nlines.chm";
    const QByteArray written = captureStandardError([&] { viewer.showHelp(&m_owner, name); });

    QCOMPARE(written.count('\n'), 1);
    QVERIFY(written.endsWith('\n'));
    QVERIFY2(written.contains(QFile::encodeName(m_base + "/two?lines.chm")), written.constData());
    QVERIFY(viewer.viewerProcessIds().isEmpty());
}

QTEST_MAIN(TestHelpViewer)
#include "tst_help_viewer.moc"
