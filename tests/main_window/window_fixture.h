#pragma once

// Shared set-up for the main window's tests: a temporary data directory, a
// clock set by the test, and message boxes answered in advance.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "grid/flex_grid.h"
#include "ledger/text_formats.h"
#include "main_window/fra_main.h"
#include "test_support.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

namespace hibi::testing {

inline QByteArray ledgerLine(const QDate& date, const QString& time, const QByteArray& amount) {
    return sjis(QStringLiteral("\"%1\",\"%2\",").arg(dateText(date), time)) + amount + "\r\n";
}

// Closes the schedule window once it is shown modally, by its button or by
// its close box, and remembers what it saw.
class ScheduleCloser : public QObject {
  public:
    enum class How { Button, CloseBox };
    explicit ScheduleCloser(How how) : how_(how) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &ScheduleCloser::poll);
        timer_.start();
    }
    bool sawSchedule = false;
    bool mainWindowVisibleMeanwhile = false;
    bool statusHiddenMeanwhile = false;
    int scheduleRows = 0;
    QStringList scheduleCells;
    bool buttonHadFocus = false;

  private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != QLatin1String("frmSub")) {
            return;
        }
        timer_.stop();
        sawSchedule = true;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("fraMain")) {
                mainWindowVisibleMeanwhile = top->isVisible();
                statusHiddenMeanwhile = true;
                for (QLabel* label : top->findChildren<QLabel*>()) {
                    if (label->objectName().startsWith(QLatin1String("lblCmnt1_")) ||
                        (label->objectName().startsWith(QLatin1String("lblEvery_")) &&
                         label->objectName() != QLatin1String("lblEvery_zen"))) {
                        statusHiddenMeanwhile = statusHiddenMeanwhile && !label->isVisible();
                    }
                }
            }
        }
        auto* grid = modal->findChild<FlexGrid*>(QStringLiteral("msgEverySub"));
        scheduleRows = grid->rows();
        for (int row : {0, 1, 2, 3, 365}) {
            scheduleCells << grid->cellText(row, 0) + QLatin1Char('|') + grid->cellText(row, 1);
        }
        auto* button = modal->findChild<QPushButton*>(QStringLiteral("cmdModori"));
        buttonHadFocus = button->hasFocus() || modal->focusWidget() == button;
        if (how_ == How::Button) {
            QTest::mouseClick(button, Qt::LeftButton);
        } else {
            modal->close();
        }
    }

    How how_;
    QTimer timer_;
};

// A main window over a fixture directory.
class WindowFixture {
  public:
    explicit WindowFixture(const QDateTime& now) : clock(now) { MessageBox::startRecording(); }
    ~WindowFixture() { MessageBox::stopRecording(); }

    QString path(const QString& name) const { return dir.filePath(name); }
    QString ledgerPath() const { return path(QStringLiteral("ヒビノボリ.txt")); }
    void writeLedger(const QByteArray& bytes) const { QVERIFY(writeBytes(ledgerPath(), bytes)); }

    fraMain& start(ScheduleCloser::How how = ScheduleCloser::How::Button) {
        window = std::make_unique<fraMain>(clock, dir.path());
        closer = std::make_unique<ScheduleCloser>(how);
        window->Form_Load();
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
    bool visible(const QString& name) const { return label(name)->isVisible(); }
    FlexGrid* grid() const { return child<FlexGrid>(QStringLiteral("msgEvery")); }
    QToolButton* button(const QString& name) const { return child<QToolButton>(name); }
    QLineEdit* goalBox() const { return child<QLineEdit>(QStringLiteral("txtSetNissuu")); }

    // The names of the status labels that are visible, top to bottom.
    QStringList visibleStatus() const {
        QStringList names;
        for (const char* name :
             {"lblCmnt1_0", "lblEvery_Kingaku", "lblCmnt1_1", "lblCmnt1_2", "lblEvery_Tainou",
              "lblCmnt1_3", "lblCmnt1_4", "lblEvery_Goukei", "lblCmnt1_5"}) {
            if (visible(QString::fromLatin1(name))) {
                names << QString::fromLatin1(name);
            }
        }
        return names;
    }

    QTemporaryDir dir;
    FixedClock clock;
    std::unique_ptr<fraMain> window;
    std::unique_ptr<ScheduleCloser> closer;
};

}  // namespace hibi::testing
