#include "help/help_viewer.h"

#include <QtTest>

#include <unistd.h>
#include <csignal>

#include "test_support.h"

using hibi::HelpViewer;

using hibi::testing::StandInViewer;
using hibi::testing::viewerLog;
using hibi::testing::writeStandInViewer;

namespace {

bool processAlive(qint64 pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

}  // namespace

class TestHelpViewer : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        // Among others, QProcess warns when it has to kill a viewer the code left running.
        QTest::failOnWarning(QRegularExpression(".*"));
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir(dir_->path()).mkdir("bin"));
        for (const char* name : {"zkHelp.chm", "other.chm", "ヘルプ 一覧.chm"}) {
            QVERIFY(hibi::testing::writeBytes(file(name), {}));
        }
        savedPath_ = qgetenv("PATH");
        qunsetenv("HIBINOBORI_HELP_VIEWER");
        errors_.clear();
    }
    void cleanup() {
        qputenv("PATH", savedPath_);
        dir_.reset();
    }

    // closeAll() and the destructor end every viewer, one that ignores a
    // polite request too; a viewer that ends by itself is forgotten.
    void viewersEndWithTheirOwner_data() {
        QTest::addColumn<StandInViewer>("behaviour");
        QTest::addColumn<bool>("destroy");
        QTest::newRow("closeAll") << StandInViewer::Stays << false;
        QTest::newRow("closeAll, terminate ignored") << StandInViewer::IgnoresTerminate << false;
        QTest::newRow("destruction") << StandInViewer::Stays << true;
        QTest::newRow("ends by itself") << StandInViewer::Exits << false;
    }
    void viewersEndWithTheirOwner() {
        QFETCH(StandInViewer, behaviour);
        QFETCH(bool, destroy);
        const QString program = file("viewer");
        QVERIFY(writeStandInViewer(program, log(), behaviour));
        auto viewer = std::make_unique<HelpViewer>();
        collectErrors(*viewer);
        viewer->setViewerProgram(program);
        viewer->showHelp(&owner_, file("zkHelp.chm"));
        viewer->showHelp(&owner_, file("other.chm"));
        QTRY_COMPARE(viewerLog(log()).size(), 2);  // a trap is set before it logs
        if (behaviour == StandInViewer::Exits) {
            QTRY_VERIFY(viewer->viewerProcessIds().isEmpty());
            return;
        }
        const QList<qint64> pids = viewer->viewerProcessIds();
        QCOMPARE(pids.size(), 2);
        QVERIFY(processAlive(pids[0]) && processAlive(pids[1]));
        if (destroy) {
            viewer.reset();
        } else {
            viewer->closeAll();
            QVERIFY(viewer->viewerProcessIds().isEmpty());
        }
        QVERIFY(!processAlive(pids[0]) && !processAlive(pids[1]));
        QVERIFY(errors_.isEmpty());
    }

    // The viewer is the one set, else the one the environment names, else the
    // first of xchm, kchmviewer and xdg-open on the PATH. It gets the file's
    // absolute path; when help cannot be shown one line says why.
    void viewerChoiceAndFailures_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QStringList>("onPath");  // "name" or "name-noexec"
        QTest::addColumn<bool>("environment");    // HIBINOBORI_HELP_VIEWER names env-viewer
        QTest::addColumn<QString>("program");     // for setViewerProgram, in the temporary dir
        QTest::addColumn<QString>(
            "outcome");  // the viewer started, or "!" and what the message names

        const QStringList all{"xdg-open", "kchmviewer", "xchm"};
        const auto row = [](const char* name, const QStringList& onPath, bool env,
                            const QString& program, const QString& outcome,
                            const QString& file = "zkHelp.chm") {
            QTest::newRow(name) << file << onPath << env << program << outcome;
        };
        row("xchm first", all, false, {}, "xchm");
        row("kchmviewer next, a non-executable xchm skipped",
            {"xchm-noexec", "kchmviewer", "xdg-open"}, false, {}, "kchmviewer");
        row("xdg-open last", {"xdg-open"}, false, {}, "xdg-open");
        row("environment beats search", all, true, {}, "env-viewer");
        row("setter beats environment", all, true, "set-viewer", "set-viewer");
        row("japanese name with a space", all, false, "set-viewer", "set-viewer",
            "ヘルプ 一覧.chm");
        row("nothing found", {"xchm-noexec"}, false, {}, "!xchm");
        row("missing file", all, false, "set-viewer", "!no such file", "absent.chm");
        row("directory", all, false, "set-viewer", "!", "bin");
        row("viewer does not exist", all, false, "no-such-viewer", "!no-such-viewer");
        row("viewer not executable", all, false, "plain-file", "!plain-file");
    }
    void viewerChoiceAndFailures() {
        QFETCH(QString, fileName);
        QFETCH(QStringList, onPath);
        QFETCH(bool, environment);
        QFETCH(QString, program);
        QFETCH(QString, outcome);
        const auto stub = [this](const QString& path, bool executable) {
            return writeStandInViewer(
                path, log(), executable ? StandInViewer::Stays : StandInViewer::NotExecutable);
        };
        for (QString name : onPath) {
            const bool executable = !name.endsWith("-noexec");
            QVERIFY(stub(file("bin/" + name.remove("-noexec")), executable));
        }
        for (const char* name : {"env-viewer", "set-viewer", "plain-file"}) {
            QVERIFY(stub(file(name), name[0] != 'p'));
        }
        qputenv("PATH", QFile::encodeName(file("bin")));
        if (environment) {
            qputenv("HIBINOBORI_HELP_VIEWER", QFile::encodeName(file("env-viewer")));
        }
        HelpViewer viewer;
        collectErrors(viewer);
        if (!program.isEmpty()) {
            viewer.setViewerProgram(file(program));
        }
        const QString path = file(fileName);
        viewer.showHelp(&owner_, path);

        if (outcome.startsWith('!')) {
            QVERIFY(viewer.viewerProcessIds().isEmpty());
            QCOMPARE(errors_.size(), 1);
            QVERIFY2(errors_[0].contains(path) && errors_[0].contains(outcome.mid(1)),
                     qPrintable(errors_[0]));
            QTest::qWait(100);
            QVERIFY(viewerLog(log()).isEmpty());
        } else {
            QTRY_COMPARE(viewerLog(log()), QStringList{outcome + "|1|" + path});
            QCOMPARE(viewer.viewerProcessIds().size(), 1);
            QVERIFY(errors_.isEmpty());
        }
    }

  private:
    void collectErrors(HelpViewer& viewer) {
        viewer.setErrorSink([this](const QString& line) { errors_.append(line); });
    }

    QString file(const QString& name) const { return dir_->filePath(name); }
    QString log() const { return file("viewer.log"); }

    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray savedPath_;
    QStringList errors_;
    QWidget owner_;
};

QTEST_MAIN(TestHelpViewer)
#include "tst_help_viewer.moc"
