#pragma once

#include <QDate>
#include <QWidget>

class QLabel;

namespace hibi {
class PlanModel;
class ProgressChart;
}  // namespace hibi

// The progress window: how the ledger stands against the plan today, in
// figures and in a chart. Created on demand; refresh() is called again
// whenever the plan is loaded or changed.
class frmProgress : public QWidget {
    Q_OBJECT
  public:
    explicit frmProgress(QWidget* parent = nullptr);

    void refresh(const hibi::PlanModel& plan, const QDate& today);

  private:
    enum Figure {
        Kaishi,      // start date
        Keika,       // today's day number
        Ruikei,      // saved so far
        Keikaku,     // the plan's total by today
        NyukinBi,    // days with a deposit
        MinyukinBi,  // days without one
        Renzoku,     // the current run
        Saichou,     // the longest run
        Mokuhyou,    // the goal's days and amount
        Nokori,      // still to go, or reached
        MokuhyouBi,  // the goal day's date
        FigureCount,
    };
    void setFigure(Figure which, const QString& text);

    QLabel* lblKoumoku_[FigureCount] = {};  // captions
    QLabel* lblAtai_[FigureCount] = {};     // values
    hibi::ProgressChart* picGraph_ = nullptr;
};
