#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include "help/help_viewer.h"

using hibi::HelpViewer;

// HTML Help (hhctrl.ocx) on Windows. fixtures/test.chm is made from the
// fixture's own page with chmcmd (Debian's fp-utils): chmcmd test.hhp.
class HelpWindowsTest : public QObject {
    Q_OBJECT

  private slots:
    void opensThroughHtmlHelpAndSaysWhenItCannot() {
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        HelpViewer viewer;
        QStringList lines;
        viewer.setErrorSink([&lines](const QString& line) { lines << line; });

        const QString chm = QFINDTESTDATA("help/fixtures/test.chm");
        QVERIFY(!chm.isEmpty());
        QVERIFY(
            viewer.showHelp(&owner, QDir::toNativeSeparators(QFileInfo(chm).absoluteFilePath())));
        QCOMPARE(lines, QStringList());

        // A file HTML Help cannot read: one line, and no box to answer.
        QTemporaryDir dir;
        const QString bad = QDir::toNativeSeparators(dir.filePath(QStringLiteral("bad.chm")));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a help file") > 0);
        file.close();
        QVERIFY(!viewer.showHelp(&owner, bad));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains(QStringLiteral("did not open")), qPrintable(lines.first()));
        viewer.closeAll();
    }
};

QTEST_MAIN(HelpWindowsTest)
#include "tst_help_windows.moc"
