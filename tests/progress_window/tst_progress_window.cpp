#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>

#include "plan/plan_model.h"
#include "progress_window/progress_window.h"
#include "test_support.h"

using hibi::frmProgress;

// The window's own behaviour; what it shows is worked out and tested in the core.
class ProgressWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        // 800 days to plan from 2009: three calendar years.
        QVERIFY(hibi::testing::writeBytes(dir_.filePath(QStringLiteral("ヒビノボリ.TXT")),
                                          hibi::testing::toPlan(800)));
        plan_.load(QDate(2011, 3, 11));
        window_.refresh(plan_, QDate(2011, 3, 11));
        window_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window_));
    }

    void everyControlIsNamedAndEveryFigureReadAsHeadingAndValue() {
        int values = 0;
        for (QWidget* widget : window_.findChildren<QWidget*>()) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_")) {
                continue;
            }
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
            if (widget->objectName().startsWith(u"lblAtai_")) {
                const auto* value = static_cast<QLabel*>(widget);
                const auto* heading = window_.findChild<QLabel*>(
                    QString(value->objectName())
                        .replace(QStringLiteral("Atai"), QStringLiteral("Koumoku")));
                QCOMPARE(value->accessibleName(), heading->text());
                QVERIFY(!value->text().isEmpty());
                QCOMPARE(value->accessibleDescription(), value->text());
                ++values;
            }
        }
        QCOMPARE(values, 14);
    }

    void theYearsAreReachedByButtonListAndKeys() {
        auto* years = window_.findChild<QComboBox*>(QStringLiteral("cboToshi"));
        auto* before = window_.findChild<QPushButton*>(QStringLiteral("cmdMaeNoToshi"));
        auto* calendar = window_.findChild<QWidget*>(QStringLiteral("picCalendar"));
        QCOMPARE(years->count(), 3);
        QCOMPARE(years->currentText(), QStringLiteral("2011年"));
        before->click();
        before->click();
        QCOMPARE(years->currentText(), QStringLiteral("2009年"));
        QVERIFY(!before->isEnabled());
        QTest::keyClick(calendar, Qt::Key_End);  // today
        QCOMPARE(years->currentText(), QStringLiteral("2011年"));
        QTest::keyClick(calendar, Qt::Key_PageUp);
        QCOMPARE(years->currentText(), QStringLiteral("2010年"));
        QVERIFY(window_.findChild<QLabel*>(QStringLiteral("lblErandaHi"))
                    ->text()
                    .startsWith(QStringLiteral("2010年03月11日（木）　435日目")));
    }

    void theChartTellsThePointersDayInATooltip() {
        auto* tabs = window_.findChild<QTabWidget*>(QStringLiteral("tabKiroku"));
        tabs->setCurrentIndex(1);
        auto* chart = window_.findChild<QWidget*>(QStringLiteral("picGraph"));
        // Near the right end of the plot: a day of the last week.
        const QPoint at(chart->width() - 18, chart->height() / 3);
        QHelpEvent help(QEvent::ToolTip, at, chart->mapToGlobal(at));
        QApplication::sendEvent(chart, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY2(QToolTip::text().contains(QStringLiteral("2011年03月")),
                 qPrintable(QToolTip::text()));
        tabs->setCurrentIndex(0);
    }

    void escapeAndTheCloseButtonCloseIt() {
        QTest::keyClick(&window_, Qt::Key_Escape);
        QVERIFY(!window_.isVisible());
        window_.show();
        window_.findChild<QPushButton*>(QStringLiteral("cmdTojiru"))->click();
        QVERIFY(!window_.isVisible());
    }

  private:
    QTemporaryDir dir_;
    hibi::PlanModel plan_{dir_.path()};
    frmProgress window_;
};

QTEST_MAIN(ProgressWindowTest)
#include "tst_progress_window.moc"
