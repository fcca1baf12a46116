#pragma once

#include <QDate>
#include <QWidget>
#include <memory>

#include "plan/progress.h"

namespace hibi {

// One calendar year of the plan: a square a day, a column a week (Sunday at
// the top), the months named above. The colour tells what became of the
// day; today is framed. The pointer's day is told in a tooltip; the arrow
// keys, Page Up/Down (a year), Home (the start) and End (today) move the
// chosen day, which the window tells in words.
class PlanCalendar : public QWidget {
    Q_OBJECT
  public:
    explicit PlanCalendar(QWidget* parent = nullptr);

    // Shows the figures' days; the year in view stays where it is when
    // keepYear is set and it still lies in the plan, else today's year.
    void setFigures(std::shared_ptr<const ProgressFigures> figures, bool keepYear);

    int year() const { return year_; }
    int firstYear() const;
    int lastYear() const;
    void showYear(int year);

    // The chosen day in words, one fact a line.
    QString currentText() const;
    // The year in view: the days of each kind.
    QString yearSummary() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void yearChanged(int year);
    void currentChanged();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    struct Geometry {
        int left = 0;
        int top = 0;
        int pitch = 0;  // from one square to the next
        int cell = 0;   // a square's side
    };
    Geometry geometry() const;
    int legendHeight() const;
    QRect cellRect(const QDate& date, const Geometry& g) const;
    QDate dateAt(const QPoint& pos) const;
    QDate today() const;
    void setCurrent(const QDate& date);
    void drawLegend(QPainter& p, int top) const;

    std::shared_ptr<const ProgressFigures> figures_;
    int year_ = 0;
    QDate current_;
};

}  // namespace hibi
