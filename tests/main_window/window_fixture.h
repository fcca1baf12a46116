#pragma once

// Shared set-up for the main window's tests: a temporary data directory, a
// clock set by the test, message boxes answered in advance and the schedule
// window closed as soon as it shows.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "grid/flex_grid.h"
#include "ledger/text_formats.h"
#include "main_window/fra_main.h"
#include "test_support.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

namespace hibi::testing {

inline QDateTime at(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

// 1 and 2 yen on 1 and 2 April 2009, then the 12 yen that catch up on the 5th
// (spelt out, as the program must write it).
inline const QByteArray kApril1 = ledgerLine(QDate(2009, 4, 1), "07:30:15", "1");
inline const QByteArray kApril2 = ledgerLine(QDate(2009, 4, 2), "07:28:40", "2");
inline const QByteArray kApril5 = sjis(QStringLiteral("\"2009年04月05日\",\"21:05:33\",12\r\n"));

// The panel as WindowFixture::panel() gives it: after today's deposit, when
// only today's amount is due, and when arrears are due too.
inline QStringList depositedPanel(const QString& day, const QString& saved) {
    return {"lblCmnt1_2=本日入金済みです。", "lblkeika=" + day, "lblEvery_zen=" + saved};
}
inline QStringList duePanel(const QString& due, const QString& day, const QString& saved) {
    return {"lblCmnt1_0=本日の入金予定は", "lblEvery_Kingaku=" + due, "lblCmnt1_1=です。",
            "lblkeika=" + day, "lblEvery_zen=" + saved};
}
inline QStringList arrearsPanel(const QString& due, const QString& from, const QString& owed,
                                const QString& total, const QString& day, const QString& saved) {
    return QStringLiteral(
               "lblCmnt1_0=本日の入金予定は|lblEvery_Kingaku=%1|lblCmnt1_1=です。|"
               "lblCmnt1_2=%2|lblEvery_Tainou=%3|lblCmnt1_3=です。|lblCmnt1_4=計|"
               "lblEvery_Goukei=%4|lblCmnt1_5=です。|lblkeika=%5|lblEvery_zen=%6")
        .arg(due, from, owed, total, day, saved)
        .split(QLatin1Char('|'));
}

// True when exactly one message box was shown since the last look and its
// text holds every fragment; otherwise tells what was shown.
inline bool oneMessageWith(const QStringList& fragments) {
    const auto shown = MessageBox::takeShown();
    const auto inText = [&](const QString& fragment) { return shown[0].text.contains(fragment); };
    if (shown.size() == 1 && std::all_of(fragments.begin(), fragments.end(), inText)) {
        return true;
    }
    for (const auto& box : shown) {
        qWarning("shown: %s", qPrintable(box.text));
    }
    return false;
}

enum class CloseBy { Button, CloseBox };

// A main window over a fixture directory.
class WindowFixture {
  public:
    explicit WindowFixture(const QDateTime& now) : clock(now) { MessageBox::startRecording(); }
    ~WindowFixture() { MessageBox::stopRecording(); }

    QString path(const QString& name) const { return dir.filePath(name); }
    QString ledgerPath() const { return path(QStringLiteral("ヒビノボリ.txt")); }
    QString goalPath() const { return path(QStringLiteral("目標ヒビノボリ.txt")); }
    QByteArray ledger() const { return readBytes(ledgerPath()); }
    void writeLedger(const QByteArray& bytes) const { QVERIFY(writeBytes(ledgerPath(), bytes)); }

    // Loads the window; a schedule window it shows is checked and closed the
    // given way. No design-time placeholder may be left on screen.
    fraMain& start(CloseBy how = CloseBy::Button) {
        window = std::make_unique<fraMain>(clock, dir.path());
        scheduleWatch.callOnTimeout([this, how] { closeSchedule(how); });
        scheduleWatch.start(10);
        window->Form_Load();
        checkNoPlaceholders();
        return *window;
    }

    template <typename T>
    T* child(const QString& name) const {
        T* widget = window->findChild<T*>(name);
        if (!widget) {
            qFatal("no control %s", qPrintable(name));
        }
        return widget;
    }
    QLabel* label(const QString& name) const { return child<QLabel>(name); }
    QString text(const QString& name) const { return label(name)->text(); }
    FlexGrid* grid() const { return child<FlexGrid>(QStringLiteral("msgEvery")); }
    QToolButton* button(const QString& name) const { return child<QToolButton>(name); }
    QLineEdit* goalBox() const { return child<QLineEdit>(QStringLiteral("txtSetNissuu")); }
    void press(const QString& name) const { QTest::mouseClick(button(name), Qt::LeftButton); }

    // The cells of one history row.
    QStringList row(int r) const {
        QStringList cells;
        for (int c = 0; c < grid()->cols(); ++c) {
            cells << grid()->cellText(r, c);
        }
        return cells;
    }

    bool newestRowInView() const {
        const QRect last = grid()->visualRect(grid()->model()->index(grid()->rows() - 1, 0));
        return last.isValid() && grid()->viewport()->rect().contains(last);
    }

    // "label=text" of the visible status labels, top to bottom, then of the
    // day and the total.
    QStringList panel() const {
        QStringList texts;
        for (const QString& name : visibleStatus() + QStringList{"lblkeika", "lblEvery_zen"}) {
            texts << name + QLatin1Char('=') + text(name);
        }
        return texts;
    }

    // The names of the status labels that are visible, top to bottom.
    QStringList visibleStatus() const {
        QStringList names;
        for (const char* name :
             {"lblCmnt1_0", "lblEvery_Kingaku", "lblCmnt1_1", "lblCmnt1_2", "lblEvery_Tainou",
              "lblCmnt1_3", "lblCmnt1_4", "lblEvery_Goukei", "lblCmnt1_5"}) {
            if (label(QString::fromLatin1(name))->isVisible()) {
                names << QString::fromLatin1(name);
            }
        }
        return names;
    }

    QTemporaryDir dir;
    FixedClock clock;
    std::unique_ptr<fraMain> window;
    bool scheduleShown = false;

  private:
    void checkNoPlaceholders() const {
        for (QLabel* label : window->findChildren<QLabel*>()) {
            QVERIFY2(!label->text().startsWith(QLatin1String("Label")),
                     qPrintable(label->objectName()));
        }
        QVERIFY(goalBox()->text() != QLatin1String("Text1"));
    }

    // Every schedule window shows the same plan, over the main window with
    // its status still hidden, and has its button focused.
    void closeSchedule(CloseBy how) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QLatin1String("frmSub")) {
            return;
        }
        scheduleShown = true;
        auto* grid = modal->findChild<FlexGrid*>(QStringLiteral("msgEverySub"));
        auto* button = modal->findChild<QPushButton*>(QStringLiteral("cmdModori"));
        const bool focused = modal->focusWidget() == button;
        QStringList cells;
        for (int row : {0, 1, 2, 3, 365}) {
            cells << grid->cellText(row, 0) + QLatin1Char('|') + grid->cellText(row, 1);
        }
        const QStringList status = visibleStatus();
        if (how == CloseBy::Button) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            modal->close();
        }
        QVERIFY(window->isVisible());
        QVERIFY(status.isEmpty());
        QVERIFY(focused);
        QCOMPARE(grid->rows(), 366);
        QCOMPARE(cells, QStringList({"日数|貯金額", "1日目|¥1", "2日目|¥3", "3日目|¥6",
                                     "365日目|¥66,795"}));
    }

    QTimer scheduleWatch;
};

}  // namespace hibi::testing
