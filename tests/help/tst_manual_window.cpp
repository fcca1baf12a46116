#include "help/manual_window.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

class TestManualWindow : public QObject {
    Q_OBJECT
  private slots:
    void opensOnceAndClosesWithItsOwner() {
        QWidget owner;
        owner.show();
        QPointer<ManualWindow> manual = ManualWindow::show(&owner);
        QVERIFY(manual->windowTitle().contains(QStringLiteral("ヘルプ")));
        QCOMPARE(manual->browser()->objectName(), QStringLiteral("txtManual"));
        QVERIFY(manual->browser()->toPlainText().contains(QStringLiteral("66,795円")));
        QCOMPARE(ManualWindow::show(&owner), manual.data());
        owner.close();
        QTRY_VERIFY(manual.isNull());
    }

    void linksAndAnchorsMoveThroughTheManual() {
        QWidget owner;
        ManualWindow* manual = ManualWindow::show(&owner, QStringLiteral("keyboard"));
        QTextBrowser* browser = manual->browser();
        QVERIFY(QTest::qWaitForWindowExposed(manual));
        QCOMPARE(browser->source().fragment(), QStringLiteral("keyboard"));
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
        // The contents' first link, chosen and followed from the keyboard.
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
        QCOMPARE(browser->source().fragment(), QStringLiteral("plan"));
    }

    void everyLinkHasItsTargetAndEveryMenuItemIsDescribed() {
        QWidget owner;
        ManualWindow* manual = ManualWindow::show(&owner);
        QFile file(QStringLiteral(":/help/manual.html"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QSet<QString> targets;
        const QRegularExpression anchor(QStringLiteral("(?:name|id)=\"([^\"]+)\""));
        for (const auto& m : anchor.globalMatch(html)) {
            targets.insert(m.captured(1));
        }
        int links = 0;
        const QRegularExpression link(QStringLiteral("href=\"#([^\"]*)\""));
        for (const auto& m : link.globalMatch(html)) {
            QVERIFY2(targets.contains(m.captured(1)), qPrintable(m.captured(1)));
            ++links;
        }
        QVERIFY(links > 10);
        const QString text = manual->browser()->toPlainText();
        for (const char16_t* caption :
             {u"ファイル(F)", u"履歴をCSVに書き出す(E)...", u"バックアップから戻す(R)...",
              u"記録を空にする(C)...", u"台帳のフォルダを開く(O)", u"終了(X)", u"表示(V)",
              u"進み具合(G)...", u"貯金表(S)", u"ヘルプ(H)", u"ヌピカ貯めよう！について(A)"}) {
            QVERIFY2(text.contains(QString::fromUtf16(caption)),
                     qPrintable(QString::fromUtf16(caption)));
        }
    }
};

QTEST_MAIN(TestManualWindow)
#include "tst_manual_window.moc"
