// The windows at the sizes a plan reaches after decades, the keys that must
// never empty the history, a window left open past midnight, and ledgers
// from other editors.

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "grid/flex_grid.h"
#include "help/manual_window.h"
#include "main_window/fra_main.h"
#include "main_window/plan_messages.h"
#include "progress_window/chart_widget.h"
#include "restore_window/frm_restore.h"
#include "schedule_window/frm_sub.h"
#include "test_support.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

using hibi::FlexGrid;
using hibi::fraMain;
using hibi::frmRestore;
using hibi::frmSub;
using hibi::ManualWindow;

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
    // The delegate keeps a focus-frame margin and a pixel each side of the
    // text, the header its own margin.
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const QHeaderView* header = grid->horizontalHeader();
    const int headerMargin = grid->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const QFontMetrics metrics(grid->font());
    QStringList cuts;
    for (int c = 0; c < grid->cols(); ++c) {
        if (metrics.horizontalAdvance(grid->cellText(0, c)) >
            header->sectionSize(c) - 2 * headerMargin) {
            cuts << QStringLiteral("header \"%1\"").arg(grid->cellText(0, c));
        }
    }
    // The first row, and the rows on show down to the newest.
    for (int r = 1; r < grid->rows(); r = std::max(r + 1, grid->topRow())) {
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

    // The largest amount a ledger line may hold is shown and drawn;
    // the chart's axis runs past it.
    void theLargestAmount() {
        Window w(ledgerLine(kStart, QStringLiteral("07:00:00"), "922337203685477"),
                 QDateTime(kStart.addDays(1), QTime(8, 0)));
        QCOMPARE(w.child("lblEvery_zen")->text(), QStringLiteral("¥922,337,203,685,477"));
        for (QAction* action : w.window->findChildren<QAction*>()) {
            if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_G)) {
                action->trigger();
            }
        }
        auto* chart = w.window->findChild<hibi::ProgressChart*>();
        QVERIFY(chart);
        chart->resize(640, 400);  // on the tab not shown first: painted all the same
        QVERIFY(!chart->grab().isNull());
    }

    // Histories of 1,000, 3,000 and 32,766 records: every cell and the
    // header whole within the table's width, no sideways scrolling, the
    // newest row in view. Enlarged, the window gives the table room and its
    // design font back; the controls keep their places from the right.
    void theNewestRowWholeAtEveryLength() {
        for (const int n : {1000, 3000, int(hibi::kMaxLedgerRecords)}) {
            // Three days behind where the day counter allows it.
            const int today = n < hibi::kMaxLedgerRecords ? n + 2 : n - 1;
            Window w(toPlan(n, kStart), QDateTime(kStart.addDays(today), QTime(8, 0)));
            auto* grid = w.child<FlexGrid>("msgEvery");
            const auto whole = [&w, grid, n] {
                int columns = 0;
                for (int c = 0; c < grid->cols(); ++c) {
                    columns += grid->columnWidth(c);
                }
                const QRect newest = grid->visualRect(grid->model()->index(n, 4));
                QCOMPARE(w.cuts(), QStringList());
                QVERIFY2(columns <= grid->viewport()->width(), qPrintable(QString::number(n)));
                QVERIFY(!grid->horizontalScrollBar()->isVisible());
                QVERIFY(grid->viewport()->rect().contains(newest));
            };
            whole();
            if (n == hibi::kMaxLedgerRecords) {
                auto* goal = w.child<QLineEdit>("txtSetNissuu");
                goal->setText(QStringLiteral("32766"));
                QTest::keyClick(goal, Qt::Key_Return);
                QCOMPARE(w.child("lblSetKingaku")->text(), QStringLiteral("¥536,821,761"));
                QCOMPARE(w.child("lblkeika")->text(), QStringLiteral("32766日"));
                QCOMPARE(w.cuts(), QStringList());
            }
            const int shown = grid->font().pixelSize();
            QVERIFY(shown <= 19 && shown >= 9);

            const QSize design = w.window->size();
            QCOMPARE(w.window->minimumSize(), design);
            const auto fromRight = [&w](const char* name) {
                return w.window->width() - w.child<QWidget>(name)->geometry().right();
            };
            const int endFromRight = fromRight("cmdEnd");
            const int panelFromRight = fromRight("Shape1");
            const QRect gridAtDesign = grid->geometry();
            w.window->resize(design + QSize(240, 160));
            QCOMPARE(grid->geometry(), gridAtDesign.adjusted(0, 0, 240, 160));
            QCOMPARE(fromRight("cmdEnd"), endFromRight);
            QCOMPARE(fromRight("Shape1"), panelFromRight);
            QCOMPARE(grid->font().pixelSize(), 19);
            whole();
            w.window->resize(design);
            QCOMPARE(grid->font().pixelSize(), shown);
            whole();
        }
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

    // The timer takes the new day by itself and looks at the date every
    // minute, whatever the clock did; what a reload finds is told once.
    void theTimerTakesTheNewDay() {
        Window w(toPlan(3, kStart), QDateTime(kStart.addDays(2), QTime(23, 59, 59)));
        const QString ledger = w.dir.filePath(QStringLiteral("ヒビノボリ.txt"));
        auto* timer = w.window->findChild<QTimer*>(QStringLiteral("dateCheckTimer"));
        QVERIFY(timer->isActive() && timer->interval() <= 2000);
        // Activated before midnight, so that only the timer can take the new day.
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        // Another editor breaks a line before midnight.
        QVERIFY(writeBytes(ledger, readBytes(ledger) + "garbage\r\n"));
        w.clock.set(QDateTime(kStart.addDays(3), QTime(0, 0, 1)));
        QTRY_COMPARE_WITH_TIMEOUT(w.window->plan().loadedOn(), kStart.addDays(3), 5000);
        QVERIFY(!w.child<QToolButton>("cmdEveryHozon")->isEnabled());
        const QList<MessageBox::Shown> told = MessageBox::takeShown();
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].text.contains(QStringLiteral("4 行目")), qPrintable(told[0].text));
        QVERIFY(timer->isActive() && timer->interval() <= 60 * 1000);

        // The next day the ledger is as broken as before: nothing new to tell.
        w.clock.set(QDateTime(kStart.addDays(4), QTime(9, 0)));
        w.window->checkDate();
        QCOMPARE(w.window->plan().loadedOn(), kStart.addDays(4));
        QCOMPARE(MessageBox::takeShown().size(), 0);
    }

    // A UTF-8 ledger: converted when the user agrees, shown read only otherwise.
    void aUtf8LedgerIsOfferedForConversion() {
        const QByteArray utf8 =
            hibi::CodePageText().decode(toPlan(2, kStart)).value_or(QString()).toUtf8();
        for (const MessageBox::Answer answer :
             {MessageBox::Answer::Cancel, MessageBox::Answer::Ok}) {
            Window w(utf8, QDateTime(kStart.addDays(2), QTime(8, 0)), {}, {answer});
            const bool converted = answer == MessageBox::Answer::Ok;
            QCOMPARE(w.child<QToolButton>("cmdEveryHozon")->isEnabled(), converted);
            QCOMPARE(w.child<FlexGrid>("msgEvery")->rows(), 3);
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

    // What the program added to the original windows reads aloud: every
    // control that takes the focus or shows text has an accessible name, and
    // one that shows a value has it as its value or text.
    void addedControlsReadAloud() {
        Window w(toPlan(3, kStart), QDateTime(kStart.addDays(3), QTime(8, 0)));
        frmRestore restore(w.window->plan().backups(), w.window.get());
        QList<QWidget*> added{w.window->findChild<QMenuBar*>(), &restore,
                              ManualWindow::show(w.window.get())};
        QStringList silent;
        while (!added.isEmpty()) {
            QWidget* widget = added.takeFirst();
            added += widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            QAccessibleInterface* readable = QAccessible::queryAccessibleInterface(widget);
            const bool speaks = widget->focusPolicy() != Qt::NoFocus ||
                                qobject_cast<QLabel*>(widget) || qobject_cast<QMenuBar*>(widget);
            if (speaks && !qobject_cast<QScrollBar*>(widget) &&
                readable->text(QAccessible::Name).isEmpty()) {
                silent << QStringLiteral("%1 (%2)").arg(widget->objectName(),
                                                        widget->metaObject()->className());
            }
        }
        QCOMPARE(silent, QStringList());
    }
};

QTEST_MAIN(WindowSafety)
#include "tst_window_safety.moc"
