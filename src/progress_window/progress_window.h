#pragma once

#include <QDate>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace hibi {
class PlanCalendar;
class PlanModel;
class ProgressChart;
}  // namespace hibi

namespace hibi {

// The progress window: how the ledger stands against the plan today, in
// figures, in a calendar of the days and in a chart. Created on demand;
// refresh() is called again whenever the plan is loaded or changed. Esc or
// 閉じる closes it.
class frmProgress : public QWidget {
    Q_OBJECT
  public:
    explicit frmProgress(QWidget* parent = nullptr);

    void refresh(const hibi::PlanModel& plan, const QDate& today);

  private:
    enum Figure {
        Kaishi,       // start date
        Keika,        // today's day number
        Ruikei,       // saved so far
        Keikaku,      // the plan's total by today
        NyukinBi,     // days with a deposit
        MinyukinBi,   // days without one
        Renzoku,      // the current run
        Saichou,      // the longest run
        Sagaku,       // the savings against the plan
        Mokuhyou,     // the goal's days and amount
        Nokori,       // still to go, or reached
        MokuhyouBi,   // the goal day's date
        Fushime,      // the next milestone
        TasseiFushi,  // the last milestone reached
        FigureCount,
    };
    void setFigure(Figure which, const QString& text);
    QWidget* calendarPage();
    void calendarYearShown(int year);
    void calendarDayChosen();

    QLabel* lblKoumoku_[FigureCount] = {};  // captions
    QLabel* lblAtai_[FigureCount] = {};     // values
    QTabWidget* tabKiroku_ = nullptr;
    QPushButton* cmdMaeNoToshi_ = nullptr;    // the year before
    QComboBox* cboToshi_ = nullptr;           // the year in view
    QPushButton* cmdTsugiNoToshi_ = nullptr;  // the year after
    QLabel* lblToshiKei_ = nullptr;           // the year's days of each kind
    hibi::PlanCalendar* picCalendar_ = nullptr;
    QLabel* lblErandaHi_ = nullptr;  // the chosen day in words
    hibi::ProgressChart* picGraph_ = nullptr;
    QPushButton* cmdTojiru_ = nullptr;
};

}  // namespace hibi
