// The windows at the sizes a plan reaches after decades, the keys that must
// never empty the history, a window left open past midnight, and ledgers
// from other editors.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "grid/flex_grid.h"
#include "main_window/fra_main.h"
#include "main_window/plan_messages.h"
#include "schedule_window/frm_sub.h"
#include "test_support.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

using hibi::MessageBox;
using namespace hibi::testing;

namespace {

const QDate kStart(1950, 1, 1);
const QStringList kValueLabels{"lblkeika",         "lblEvery_zen",    "lblSetKingaku",
                               "lblEvery_Kingaku", "lblEvery_Tainou", "lblEvery_Goukei"};

// What of a shown text does not fit its widget, or nothing.
QString labelCut(const QLabel* label) {
    const QFontMetrics metrics(label->font());
    // A framed label keeps half an "x" between its border and the text.
    const int indent =
        label->frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2 : 0;
    const int room = label->contentsRect().width() - indent;
    const int needed = metrics.horizontalAdvance(label->text());
    return needed <= room ? QString()
                          : QStringLiteral("%1 \"%2\": %3 px in %4")
                                .arg(label->objectName(), label->text())
                                .arg(needed)
                                .arg(room);
}

QStringList gridCuts(const FlexGrid* grid) {
    // The delegate keeps a focus-frame margin and a pixel each side of the text.
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const QFontMetrics metrics(grid->font());
    QStringList cuts;
    for (int r = 1; r < grid->rows(); ++r) {
        for (int c = 0; c < grid->cols(); ++c) {
            const QString text = grid->cellText(r, c);
            const int room = grid->visualRect(grid->model()->index(r, c)).width() - 2 * margin;
            if (metrics.horizontalAdvance(text) > room && cuts.size() < 5) {
                cuts << QStringLiteral("%1 (%2,%3) \"%4\"")
                            .arg(grid->objectName())
                            .arg(r)
                            .arg(c)
                            .arg(text);
            }
        }
    }
    return cuts;
}

struct Window {
    Window(const QByteArray& ledger, const QDateTime& now, std::function<void()> whenShown = {},
           const QList<MessageBox::Answer>& answers = {})
        : clock(now) {
        MessageBox::startRecording();
        MessageBox::whenShown(std::move(whenShown));
        for (const MessageBox::Answer answer : answers) {
            MessageBox::answerNext(answer);
        }
        writeBytes(dir.filePath(QStringLiteral("ヒビノボリ.txt")), ledger);
        window = std::make_unique<fraMain>(clock, dir.path());
        window->Form_Load();
    }
    ~Window() { MessageBox::stopRecording(); }
    template <typename T = QLabel>
    T* child(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QStringList cuts() const {
        QStringList found = gridCuts(child<FlexGrid>("msgEvery"));
        for (const QString& name : kValueLabels) {
            const QLabel* label = window->findChild<QLabel*>(name);
            if (label->isVisible() && !labelCut(label).isEmpty()) {
                found << labelCut(label);
            }
        }
        return found;
    }
    QWidget* focused() const { return window->focusWidget(); }
    void key(QWidget* to, Qt::Key key) const { QTest::keyClick(to ? to : focused(), key); }

    QTemporaryDir dir;
    hibi::FixedClock clock;
    std::unique_ptr<fraMain> window;
};

}  // namespace

class WindowSafety : public QObject {
    Q_OBJECT
  private slots:
    // One record on day 1, then a press on day 32,767 paying every missed
    // day: the largest deposit, arrears and total the plan can reach.
    void theLargestDeposit() {
        Window w(ledgerLine(kStart, QStringLiteral("07:00:00"), "1"),
                 QDateTime(kStart.addDays(32766), QTime(8, 0)));
        QCOMPARE(w.child("lblEvery_Goukei")->text(), QStringLiteral("536854527円"));
        QCOMPARE(w.child("lblEvery_Tainou")->text(), QStringLiteral("536821760円"));
        QCOMPARE(w.cuts(), QStringList());
        QTest::mouseClick(w.child<QToolButton>("cmdEveryHozon"), Qt::LeftButton);
        QCOMPARE(w.child<FlexGrid>("msgEvery")->cellText(2, 4), QStringLiteral("¥536,854,528"));
        QCOMPARE(w.child("lblEvery_zen")->text(), QStringLiteral("¥536,854,528"));
        QCOMPARE(w.cuts(), QStringList());
    }

    // The longest history, and the largest goal.
    void theLongestHistoryAndGoal() {
        Window w(toPlan(hibi::kMaxLedgerRecords, kStart),
                 QDateTime(kStart.addDays(hibi::kMaxLedgerRecords - 1), QTime(8, 0)));
        auto* goal = w.child<QLineEdit>("txtSetNissuu");
        goal->setText(QStringLiteral("32766"));
        QTest::keyClick(goal, Qt::Key_Return);
        QCOMPARE(w.child("lblSetKingaku")->text(), QStringLiteral("¥536,821,761"));
        QCOMPARE(w.child("lblkeika")->text(), QStringLiteral("32766日"));
        QCOMPARE(w.cuts(), QStringList());
    }

    void theScheduleWindow() {
        frmSub schedule;
        auto* grid = schedule.findChild<FlexGrid*>(QStringLiteral("msgEverySub"));
        QCOMPARE(grid->cellText(365, 1), QStringLiteral("¥66,795"));
        QCOMPARE(gridCuts(grid), QStringList());
        // The table still fits its window: no sideways scrolling.
        schedule.show();
        QVERIFY(QTest::qWaitForWindowExposed(&schedule));
        QVERIFY(!grid->horizontalScrollBar()->isVisible());
    }

    // While a start-up message is open, no sample text shows behind it.
    void noSampleTextBehindAStartUpMessage() {
        QStringList seen;
        const auto look = [&seen] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                for (QLabel* label : top->findChildren<QLabel*>()) {
                    if (label->isVisible() && label->text().contains(QStringLiteral("円"))) {
                        seen << label->text();
                    }
                }
            }
        };
        Window w(toPlan(3, kStart) + "garbage\r\n", QDateTime(kStart.addDays(5), QTime(8, 0)),
                 look);
        QCOMPARE(MessageBox::takeShown().size(), 1);
        QCOMPARE(seen, QStringList());
    }

    // Space to deposit, Space again, Return: the history stays. Focus never
    // lands on クリア, and Return presses the focused button.
    void keysNeverEmptyTheHistory() {
        const QByteArray ledger = toPlan(2, kStart);
        Window w(ledger, QDateTime(kStart.addDays(2), QTime(8, 0)));
        auto* deposit = w.child<QToolButton>("cmdEveryHozon");
        auto* help = w.child<QToolButton>("cmdHelp");
        QCOMPARE(w.focused(), deposit);
        w.key(nullptr, Qt::Key_Space);
        QVERIFY(!deposit->isEnabled());
        QCOMPARE(w.focused(), help);
        w.key(nullptr, Qt::Key_Space);
        w.key(nullptr, Qt::Key_Return);
        for (const MessageBox::Shown& box : MessageBox::takeShown()) {
            QVERIFY2(box.buttons == MessageBox::Buttons::Ok, qPrintable(box.text));
        }
        QCOMPARE(readBytes(w.dir.filePath(QStringLiteral("ヒビノボリ.txt"))).count('\n'), 3);

        // Deposited already at start-up: focus starts on ヘルプ; Tab never
        // reaches クリア.
        Window again(readBytes(w.dir.filePath(QStringLiteral("ヒビノボリ.txt"))),
                     QDateTime(kStart.addDays(2), QTime(9, 0)));
        QCOMPARE(again.focused()->objectName(), QStringLiteral("cmdHelp"));
        for (int i = 0; i < 8; ++i) {
            QVERIFY(again.focused()->objectName() != QStringLiteral("cmdEveryClr"));
            again.key(nullptr, Qt::Key_Tab);
        }

        // Return on a focused button presses it.
        Window fresh(toPlan(1, kStart), QDateTime(kStart.addDays(1), QTime(8, 0)));
        fresh.key(fresh.child<QToolButton>("cmdEveryHozon"), Qt::Key_Return);
        QCOMPARE(readBytes(fresh.dir.filePath(QStringLiteral("ヒビノボリ.txt"))).count('\n'), 2);
    }

    // Past midnight the window works the plan out anew, without the
    // introduction or a message; the old day's amount is never recorded.
    void aWindowLeftOpenPastMidnight() {
        Window w(toPlan(3, kStart), QDateTime(kStart.addDays(2), QTime(23, 59)));
        auto* deposit = w.child<QToolButton>("cmdEveryHozon");
        QVERIFY(!deposit->isEnabled());
        w.clock.set(QDateTime(kStart.addDays(3), QTime(0, 0, 1)));
        QEvent activate(QEvent::WindowActivate);
        QApplication::sendEvent(w.window.get(), &activate);
        QVERIFY(deposit->isEnabled());
        QCOMPARE(w.child("lblEvery_Kingaku")->text(), QStringLiteral("4円"));
        QVERIFY(w.child("lblEvery_Kingaku")->isVisible());
        QCOMPARE(MessageBox::takeShown().size(), 0);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QTest::mouseClick(deposit, Qt::LeftButton);
        QVERIFY(readBytes(w.dir.filePath(QStringLiteral("ヒビノボリ.txt")))
                    .endsWith(QByteArray("\"00:00:01\",4\r\n")));
    }

    // A UTF-8 ledger: converted when the user agrees, read only otherwise.
    void aUtf8LedgerIsOfferedForConversion() {
        const QByteArray utf8 =
            hibi::CodePageText().decode(toPlan(2, kStart)).value_or(QString()).toUtf8();
        for (const MessageBox::Answer answer :
             {MessageBox::Answer::Cancel, MessageBox::Answer::Ok}) {
            Window w(utf8, QDateTime(kStart.addDays(2), QTime(8, 0)), {}, {answer});
            const bool converted = answer == MessageBox::Answer::Ok;
            QCOMPARE(w.child<QToolButton>("cmdEveryHozon")->isEnabled(), converted);
            QCOMPARE(w.child<FlexGrid>("msgEvery")->rows(), converted ? 3 : 1);
            QCOMPARE(readBytes(w.dir.filePath(QStringLiteral("ヒビノボリ.txt"))) == utf8,
                     !converted);
        }
    }

    // However the main window closes, the windows it opened close with it.
    void everyWindowClosesWithTheMainOne() {
        Window w(toPlan(3, kStart), QDateTime(kStart.addDays(3), QTime(8, 0)));
        for (QAction* action : w.window->findChildren<QAction*>()) {
            if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_G) ||
                action->shortcut() == QKeySequence(Qt::Key_F1)) {
                action->trigger();
            }
        }
        const auto openWindows = [] {
            int open = 0;
            for (QWidget* top : QApplication::topLevelWidgets()) {
                open += top->isVisible() ? 1 : 0;
            }
            return open;
        };
        QCOMPARE(openWindows(), 3);  // main, progress, manual
        w.window->close();
        QCOMPARE(openWindows(), 0);
    }
};

QTEST_MAIN(WindowSafety)
#include "tst_window_safety.moc"
