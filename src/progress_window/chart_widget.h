#pragma once

#include <QWidget>

#include "plan/progress.h"

namespace hibi {

// The progress chart: the plan's cumulative amount and the saved running
// total from the start to today, with the days without a record ticked in
// red along the bottom. Long spans are drawn one pixel column at a time.
class ProgressChart : public QWidget {
    Q_OBJECT
  public:
    explicit ProgressChart(QWidget* parent = nullptr);

    // Keeps the series of figures (moved out of it) and draws them.
    void setFigures(ProgressFigures&& figures);

    QSize sizeHint() const override { return {560, 300}; }
    QSize minimumSizeHint() const override { return {320, 200}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    ProgressFigures figures_;
};

}  // namespace hibi
