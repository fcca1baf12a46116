#pragma once

#include <QWidget>
#include <memory>

#include "plan/progress.h"

namespace hibi {

// The progress chart. Above, the plan's cumulative amount (dashed past
// today, for a plan not a week old) and the saved running total, with the
// gap between them shaded; below, the gap on a scale of its own with
// today's value written at its end; between them, a mark on each missed
// day, coloured as in the calendar. The pointer's day (or span, where a
// pixel holds several days) is told in a tooltip. Long spans are drawn one
// pixel column at a time.
class ProgressChart : public QWidget {
    Q_OBJECT
  public:
    explicit ProgressChart(QWidget* parent = nullptr);

    void setFigures(std::shared_ptr<const ProgressFigures> figures);

    QSize sizeHint() const override { return {640, 340}; }
    QSize minimumSizeHint() const override { return {360, 240}; }

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    struct Frame;
    Frame frame() const;

    std::shared_ptr<const ProgressFigures> figures_;
    AxisScale mainScale_;
    AxisScale gapScale_;
};

}  // namespace hibi
