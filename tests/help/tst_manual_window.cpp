#include "help/manual_window.h"

#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

using hibi::ManualWindow;

class TestManualWindow : public QObject {
    Q_OBJECT
  private slots:
    void opensOnceFollowsItsLinksAndClosesWithItsOwner() {
        QWidget owner;
        owner.show();
        QPointer<ManualWindow> manual = ManualWindow::show(&owner, QStringLiteral("keyboard"));
        QVERIFY(manual->windowTitle().contains(QStringLiteral("ヘルプ")));
        QTextBrowser* browser = manual->browser();
        QVERIFY(browser->toPlainText().contains(QStringLiteral("66,795円")));
        QCOMPARE(browser->source().fragment(), QStringLiteral("keyboard"));
        QTRY_VERIFY(browser->verticalScrollBar()->value() > 0);
        QCOMPARE(ManualWindow::show(&owner), manual.data());
        // The contents' first link, chosen and followed from the keyboard.
        browser->setFocus();
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
        QCOMPARE(browser->source().fragment(), QStringLiteral("plan"));
        owner.close();
        QTRY_VERIFY(manual.isNull());
    }

    void everyLinkHasItsTargetAndEveryMenuItemIsDescribed() {
        QWidget owner;
        const QString text = ManualWindow::show(&owner)->browser()->toPlainText();
        QFile file(QStringLiteral(":/help/manual.html"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QSet<QString> targets;
        for (const auto& m :
             QRegularExpression(QStringLiteral("(?:name|id)=\"([^\"]+)\"")).globalMatch(html)) {
            targets.insert(m.captured(1));
        }
        int links = 0;
        for (const auto& m :
             QRegularExpression(QStringLiteral("href=\"#([^\"]*)\"")).globalMatch(html)) {
            QVERIFY2(targets.contains(m.captured(1)), qPrintable(m.captured(1)));
            ++links;
        }
        QVERIFY(links > 10);
        for (const char16_t* caption :
             {u"ファイル(F)", u"履歴をCSVに書き出す(E)...", u"バックアップから戻す(R)...",
              u"記録を空にする(C)...", u"台帳ファイルのフォルダーを開く(O)", u"終了(X)", u"表示(V)",
              u"進み具合(G)...", u"貯金表(S)", u"ヘルプ(H)", u"ヌピカ貯めよう！について(A)"}) {
            QVERIFY2(text.contains(QString::fromUtf16(caption)),
                     qPrintable(QString::fromUtf16(caption)));
        }
    }
};

QTEST_MAIN(TestManualWindow)
#include "tst_manual_window.moc"
