#pragma once

// Shared set-up for the main window's tests: a temporary data directory, a
// clock set by the test, message boxes answered in advance and the schedule
// window closed as soon as it shows.

#include <QtTest>
#include <QtWidgets>

#include "grid/flex_grid.h"
#include "main_window/fra_main.h"
#include "test_support.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

using hibi::FlexGrid;
using hibi::fraMain;

namespace hibi::testing {

inline QDateTime at(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

// 1 and 2 yen on 1 and 2 April 2009, then the 12 yen that catch up on the 5th.
inline const QByteArray kApril1 = ledgerLine(QDate(2009, 4, 1), "07:30:15", "1");
inline const QByteArray kApril2 = ledgerLine(QDate(2009, 4, 2), "07:28:40", "2");
inline const QByteArray kApril5 = ledgerLine(QDate(2009, 4, 5), "21:05:33", "12");

// True when exactly one message box was shown since the last look and its
// text holds the phrase.
inline bool oneMessageWith(const QString& phrase) {
    const auto shown = MessageBox::takeShown();
    return shown.size() == 1 && shown[0].text.contains(phrase);
}

enum class CloseBy { Button, CloseBox };

// A main window over a fixture directory.
class WindowFixture {
  public:
    explicit WindowFixture(const QDateTime& now, const QByteArray& ledger = QByteArray())
        : clock(now) {
        MessageBox::startRecording();
        if (!ledger.isNull()) {
            writeBytes(path(QStringLiteral("ヒビノボリ.txt")), ledger);
        }
    }
    ~WindowFixture() { MessageBox::stopRecording(); }

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray ledger() const { return readBytes(path(QStringLiteral("ヒビノボリ.txt"))); }

    // Loads the window; a schedule window it shows is checked and closed the
    // given way. No design-time sample text may be left on screen.
    void start(CloseBy how = CloseBy::Button) {
        window = std::make_unique<fraMain>(clock, dir.path());
        scheduleWatch.callOnTimeout([this, how] { closeSchedule(how); });
        scheduleWatch.start(10);
        window->Form_Load();
        for (QLabel* label : window->findChildren<QLabel*>()) {
            QVERIFY2(
                !label->isVisible() ||
                    !QStringList({"Label1", "Label2", "365円", "23065円"}).contains(label->text()),
                qPrintable(label->objectName()));
        }
        QVERIFY(goalBox()->text() != QLatin1String("Text1"));
    }

    template <typename T>
    T* child(const QString& name) const {
        return window->findChild<T*>(name);
    }
    QString text(const QString& name) const { return child<QLabel>(name)->text(); }
    FlexGrid* grid() const { return child<FlexGrid>(QStringLiteral("msgEvery")); }
    QToolButton* button(const QString& name) const { return child<QToolButton>(name); }
    bool canDeposit() const { return button(QStringLiteral("cmdEveryHozon"))->isEnabled(); }
    QLineEdit* goalBox() const { return child<QLineEdit>(QStringLiteral("txtSetNissuu")); }
    void press(const QString& name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    // The newest history row, its cells separated by "|".
    QString newestRow() const {
        QStringList cells;
        for (int c = 0; c < grid()->cols(); ++c) {
            cells << grid()->cellText(grid()->rows() - 1, c);
        }
        return cells.join('|');
    }

    bool newestRowInView() const {
        const QRect last = grid()->visualRect(grid()->model()->index(grid()->rows() - 1, 0));
        return last.isValid() && grid()->viewport()->rect().contains(last);
    }

    // What the status panel says, its visible labels top to bottom, then
    // the day and the total: "本日の入金予定は6円です。 6日 ¥15".
    QString panel() const {
        QString status;
        for (const char* name :
             {"lblCmnt1_0", "lblEvery_Kingaku", "lblCmnt1_1", "lblCmnt1_2", "lblEvery_Tainou",
              "lblCmnt1_3", "lblCmnt1_4", "lblEvery_Goukei", "lblCmnt1_5"}) {
            const QLabel* label = child<QLabel>(QString::fromLatin1(name));
            status += label->isVisible() ? label->text() : QString();
        }
        return status + ' ' + text("lblkeika") + ' ' + text("lblEvery_zen");
    }

    // The status sentences, the history's size and whether a deposit can be
    // made: "本日入金済みです。|4|off".
    QString state() const {
        return QStringLiteral("%1|%2|%3")
            .arg(panel().section(' ', 0, 0))
            .arg(grid()->rows())
            .arg(canDeposit() ? "on" : "off");
    }

    QTemporaryDir dir;
    FixedClock clock;
    std::unique_ptr<fraMain> window;
    bool scheduleShown = false;

  private:
    // The schedule window shows the plan over the main window, whose status
    // is still hidden.
    void closeSchedule(CloseBy how) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QLatin1String("frmSub")) {
            return;
        }
        scheduleShown = true;
        const auto* grid = modal->findChild<FlexGrid*>(QStringLiteral("msgEverySub"));
        const QStringList cells{grid->cellText(1, 0) + '|' + grid->cellText(1, 1),
                                grid->cellText(365, 0) + '|' + grid->cellText(365, 1)};
        const QString status = panel();
        if (how == CloseBy::Button) {
            QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("cmdModori")),
                              Qt::LeftButton);
        } else {
            modal->close();
        }
        QVERIFY(window->isVisible());
        QCOMPARE(status, QStringLiteral(" 1日 ¥0"));
        QCOMPARE(grid->rows(), 366);
        QCOMPARE(cells, QStringList({"1日目|¥1", "365日目|¥66,795"}));
    }

    QTimer scheduleWatch;
};

}  // namespace hibi::testing
