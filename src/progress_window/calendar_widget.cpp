#include "progress_window/calendar_widget.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "plan/progress_days.h"
#include "progress_window/day_colours.h"
#include "ui_common/layout.h"

namespace hibi {

namespace {

constexpr int kWeeks = 54;  // a year touches at most 54 weeks
constexpr int kMinPitch = 8;
constexpr int kMaxPitch = 24;

// Sunday is the top row.
int rowOf(const QDate& date) {
    return date.dayOfWeek() % 7;
}

int columnOf(const QDate& date) {
    const int offset = rowOf(QDate(date.year(), 1, 1));
    return (offset + date.dayOfYear() - 1) / 7;
}

struct LegendEntry {
    DayKind kind;
    bool frame;
    const char16_t* text;
};
constexpr LegendEntry kLegend[] = {
    {DayKind::Deposited, false, u"その日に入金"}, {DayKind::PaidLate, false, u"あとで入金"},
    {DayKind::Unpaid, false, u"未入金"},          {DayKind::DueToday, true, u"今日"},
    {DayKind::Outside, false, u"期間外"},
};

// A missed day's own mark: a light cross, for those who cannot tell red
// from green.
void drawUnpaidMark(QPainter& p, const QRect& r) {
    if (r.width() < 8) {
        return;
    }
    const int inset = r.width() / 4;
    const QRect in = r.adjusted(inset, inset, -inset - 1, -inset - 1);
    p.setPen(QPen(QColor(255, 255, 255, 220), 1.2));
    p.drawLine(in.topLeft(), in.bottomRight());
    p.drawLine(in.topRight(), in.bottomLeft());
}

void drawSquare(QPainter& p, const QRect& r, DayKind kind, bool frame) {
    p.fillRect(r, dayColour(kind));
    if (kind == DayKind::Unpaid) {
        drawUnpaidMark(p, r);
    }
    if (frame) {
        p.setPen(QPen(kTodayFrame, 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    }
}

}  // namespace

PlanCalendar::PlanCalendar(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    // As tall as the squares its width allows.
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

QDate PlanCalendar::today() const {
    return figures_ ? figures_->today : QDate();
}

int PlanCalendar::firstYear() const {
    if (!figures_ || !figures_->today.isValid()) {
        return year_;
    }
    return std::min(figures_->start, figures_->today).year();
}

int PlanCalendar::lastYear() const {
    return figures_ && figures_->today.isValid() ? figures_->today.year() : year_;
}

void PlanCalendar::setFigures(std::shared_ptr<const ProgressFigures> figures, bool keepYear) {
    figures_ = std::move(figures);
    const bool keep = keepYear && year_ >= firstYear() && year_ <= lastYear() && year_ != 0;
    if (!keep) {
        year_ = 0;
        current_ = today();
        showYear(lastYear());
    }
    if (!current_.isValid() || current_.year() != year_) {
        current_ = year_ == lastYear() ? today() : QDate(year_, 1, 1);
    }
    emit currentChanged();
    update();
}

void PlanCalendar::showYear(int year) {
    year = std::clamp(year, firstYear(), lastYear());
    if (year == year_) {
        return;
    }
    year_ = year;
    if (current_.isValid() && current_.year() != year) {
        // The same day of another year; 29 February becomes the 28th.
        const QDate first(year, current_.month(), 1);
        current_ = QDate(year, current_.month(), std::min(current_.day(), first.daysInMonth()));
    }
    emit yearChanged(year_);
    emit currentChanged();
    update();
}

void PlanCalendar::setCurrent(const QDate& date) {
    if (!date.isValid()) {
        return;
    }
    current_ = std::clamp(date, QDate(firstYear(), 1, 1), QDate(lastYear(), 12, 31));
    if (current_.year() != year_) {
        showYear(current_.year());
    }
    emit currentChanged();
    update();
}

QString PlanCalendar::currentText() const {
    return figures_ && current_.isValid()
               ? dayDescription(figures_->days.info(current_), figures_->today)
               : QString();
}

QString PlanCalendar::yearSummary() const {
    if (!figures_) {
        return QString();
    }
    const DayCounts c = figures_->days.counts(QDate(year_, 1, 1), QDate(year_, 12, 31));
    return QStringLiteral("%1年: その日に入金 %2日、あとで入金 %3日、未入金 %4日")
        .arg(year_)
        .arg(c.deposited)
        .arg(c.paidLate)
        .arg(c.unpaid);
}

PlanCalendar::Geometry PlanCalendar::geometry() const {
    const QFontMetrics metrics = fontMetrics();
    Geometry g;
    g.left = metrics.horizontalAdvance(QStringLiteral("日")) + 10;
    g.top = metrics.height() + 6;
    const int byWidth = (width() - g.left - 4) / kWeeks;
    const int byHeight = (height() - g.top - legendHeight()) / 7;
    g.pitch = std::clamp(std::min(byWidth, byHeight), kMinPitch, kMaxPitch);
    g.cell = g.pitch - std::max(2, g.pitch / 8);
    return g;
}

int PlanCalendar::legendHeight() const {
    return fontMetrics().height() + 16;
}

int PlanCalendar::heightForWidth(int width) const {
    const QFontMetrics metrics = fontMetrics();
    const int left = metrics.horizontalAdvance(QStringLiteral("日")) + 10;
    const int pitch = std::clamp((width - left - 4) / kWeeks, kMinPitch, kMaxPitch);
    return metrics.height() + 6 + 7 * pitch + legendHeight();
}

QSize PlanCalendar::sizeHint() const {
    const int width = fontMetrics().horizontalAdvance(QStringLiteral("日")) + 14 + kWeeks * 16;
    return {width, heightForWidth(width)};
}

QSize PlanCalendar::minimumSizeHint() const {
    const int width =
        fontMetrics().horizontalAdvance(QStringLiteral("日")) + 14 + kWeeks * kMinPitch;
    return {width, heightForWidth(width)};
}

QRect PlanCalendar::cellRect(const QDate& date, const Geometry& g) const {
    return {g.left + columnOf(date) * g.pitch, g.top + rowOf(date) * g.pitch, g.cell, g.cell};
}

QDate PlanCalendar::dateAt(const QPoint& pos) const {
    const Geometry g = geometry();
    if (pos.x() < g.left || pos.y() < g.top) {
        return {};
    }
    const int column = (pos.x() - g.left) / g.pitch;
    const int row = (pos.y() - g.top) / g.pitch;
    if (row >= 7 || (pos.x() - g.left) % g.pitch >= g.cell ||
        (pos.y() - g.top) % g.pitch >= g.cell) {
        return {};
    }
    const QDate first(year_, 1, 1);
    const QDate date = first.addDays(column * 7 + row - rowOf(first));
    return date.year() == year_ ? date : QDate();
}

bool PlanCalendar::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QDate date = dateAt(help->pos());
        if (date.isValid() && figures_) {
            QToolTip::showText(help->globalPos(),
                               dayDescription(figures_->days.info(date), figures_->today), this);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

void PlanCalendar::keyPressEvent(QKeyEvent* event) {
    if (!current_.isValid()) {
        QWidget::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
        case Qt::Key_Left:
            setCurrent(current_.addDays(-7));
            break;
        case Qt::Key_Right:
            setCurrent(current_.addDays(7));
            break;
        case Qt::Key_Up:
            setCurrent(current_.addDays(-1));
            break;
        case Qt::Key_Down:
            setCurrent(current_.addDays(1));
            break;
        case Qt::Key_PageUp:
            setCurrent(current_.addYears(-1));
            break;
        case Qt::Key_PageDown:
            setCurrent(current_.addYears(1));
            break;
        case Qt::Key_Home:
            setCurrent(figures_ ? figures_->start : current_);
            break;
        case Qt::Key_End:
            setCurrent(today());
            break;
        default:
            QWidget::keyPressEvent(event);
    }
}

void PlanCalendar::mousePressEvent(QMouseEvent* event) {
    setCurrent(dateAt(event->position().toPoint()));
    QWidget::mousePressEvent(event);
}

void PlanCalendar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!figures_ || year_ == 0) {
        return;
    }
    const Geometry g = geometry();
    const QFontMetrics metrics = p.fontMetrics();
    const PlanDays& days = figures_->days;

    // Weekdays down the left: every one when the rows are tall enough.
    p.setPen(palette().windowText().color());
    const QDate sunday = QDate(2023, 1, 1);  // a Sunday
    for (int row = 0; row < 7; ++row) {
        if (g.pitch >= metrics.height() - 2 || row % 2 == 1) {
            p.drawText(QRect(0, g.top + row * g.pitch, g.left - 6, g.cell),
                       Qt::AlignRight | Qt::AlignVCenter, weekdayText(sunday.addDays(row)));
        }
    }
    // The months above the week where each begins.
    int freeFrom = g.left;
    for (int month = 1; month <= 12; ++month) {
        const QString name = QString::number(month) + QStringLiteral("月");
        const int x = g.left + columnOf(QDate(year_, month, 1)) * g.pitch;
        if (x >= freeFrom) {
            p.drawText(x, metrics.ascent() + 2, name);
            freeFrom = x + metrics.horizontalAdvance(name) + 4;
        }
    }

    const QDate first(year_, 1, 1);
    const qint64 startIndex = days.start().isValid() ? days.start().daysTo(first) : 0;
    for (int d = 0; d < first.daysInYear(); ++d) {
        const QDate date = first.addDays(d);
        const DayKind kind =
            days.start().isValid() ? days.kindAt(startIndex + d) : DayKind::Outside;
        drawSquare(p, cellRect(date, g), kind, date == today());
    }
    if (hasFocus() && current_.isValid() && current_.year() == year_) {
        p.setPen(QPen(palette().highlight().color(), 2, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(cellRect(current_, g).adjusted(-2, -2, 1, 1));
    }
    drawLegend(p, g.top + 7 * g.pitch + 8);
}

void PlanCalendar::drawLegend(QPainter& p, int top) const {
    const QFontMetrics metrics = p.fontMetrics();
    const int side = std::min(metrics.height() - 4, 14);
    int x = geometry().left;
    for (const LegendEntry& entry : kLegend) {
        const QRect square(x, top + (metrics.height() - side) / 2, side, side);
        drawSquare(p, square, entry.kind, entry.frame);
        if (entry.kind == DayKind::Outside) {
            p.setPen(QColor(0xB0, 0xB0, 0xA8));
            p.drawRect(square.adjusted(0, 0, -1, -1));
        }
        const QString text = QString::fromUtf16(entry.text);
        p.setPen(palette().windowText().color());
        p.drawText(x + side + 5, top + metrics.ascent(), text);
        x += side + 5 + metrics.horizontalAdvance(text) + 18;
    }
}

}  // namespace hibi
