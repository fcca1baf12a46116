#include "progress_window/chart_widget.h"

#include <QHelpEvent>
#include <QPainter>
#include <QPolygonF>
#include <QToolTip>
#include <algorithm>

#include "ledger/text_formats.h"
#include "progress_window/day_colours.h"
#include "ui_common/layout.h"

namespace hibi {

namespace {

const QColor kPlanColour(0x33, 0x66, 0xCC);
const QColor kSavedColour(0xE0, 0x7B, 0x00);
const QColor kGapFill(0xD0, 0x30, 0x30, 60);
const QColor kGapLine(0xB0, 0x30, 0x30);
const QColor kGridColour(0xD8, 0xD8, 0xD0);

constexpr int kMarkHeight = 9;

// One pixel column's share of the days (one day where the days are fewer):
// the plan at its last day, the savings' and the gap's range, and its
// worst missed day.
struct Column {
    qint64 k0 = 0;  // days k0..k1 - 1
    qint64 k1 = 0;
    double x = 0;
    std::int64_t plan = 0;
    bool past = false;  // holds a day up to today with a saved total
    std::int64_t savedLow = 0;
    std::int64_t savedHigh = 0;
    std::int64_t gapHigh = 0;
    DayKind mark = DayKind::Outside;
};

std::vector<Column> columns(const ProgressFigures& f, double left, double width) {
    const auto days = static_cast<qint64>(f.planSeries.size());
    const auto saved = static_cast<qint64>(f.savedSeries.size());
    const qint64 count = std::min(days, std::max<qint64>(static_cast<qint64>(width), 1));
    std::vector<Column> out(static_cast<size_t>(count));
    for (qint64 c = 0; c < count; ++c) {
        Column& col = out[static_cast<size_t>(c)];
        col.k0 = c * days / count;
        col.k1 = std::max((c + 1) * days / count, col.k0 + 1);
        col.x = left + (static_cast<double>(c) + 0.5) * width / static_cast<double>(count);
        col.plan = f.planSeries[static_cast<size_t>(col.k1 - 1)];
        col.past = col.k0 < saved;
        if (col.past) {
            col.savedLow = col.savedHigh = f.savedSeries[static_cast<size_t>(col.k0)];
            col.gapHigh = f.planSeries[static_cast<size_t>(col.k0)] - col.savedLow;
        }
        for (qint64 k = col.k0; k < col.k1; ++k) {
            const DayKind kind = f.days.kindAt(k);
            if (kind == DayKind::Unpaid ||
                (kind == DayKind::PaidLate && col.mark != DayKind::Unpaid)) {
                col.mark = kind;
            }
            if (k < saved) {
                const std::int64_t s = f.savedSeries[static_cast<size_t>(k)];
                col.savedLow = std::min(col.savedLow, s);
                col.savedHigh = std::max(col.savedHigh, s);
                col.gapHigh = std::max(col.gapHigh, f.planSeries[static_cast<size_t>(k)] - s);
            }
        }
    }
    return out;
}

double yOf(const QRectF& plot, const AxisScale& scale, std::int64_t v) {
    return plot.bottom() - static_cast<double>(v - scale.low) /
                               static_cast<double>(scale.high - scale.low) * plot.height();
}

// Grid lines and amounts at every step that leaves room for its text.
void drawScale(QPainter& p, const QRectF& plot, const AxisScale& scale, int labelWidth) {
    const QFontMetrics metrics = p.fontMetrics();
    const std::int64_t steps = (scale.high - scale.low) / scale.step;
    const std::int64_t every = std::max<std::int64_t>(
        1, (steps * metrics.height() + static_cast<std::int64_t>(plot.height()) - 1) /
               std::max<std::int64_t>(static_cast<std::int64_t>(plot.height()), 1));
    for (std::int64_t i = 0; i <= steps; ++i) {
        const std::int64_t v = scale.low + i * scale.step;
        const double y = yOf(plot, scale, v);
        p.setPen(kGridColour);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        if (i % every == 0 || v == 0) {
            p.setPen(Qt::black);
            p.drawText(QRectF(0, y - metrics.height() / 2.0, labelWidth + 6, metrics.height()),
                       Qt::AlignRight | Qt::AlignVCenter, moneyTextOfYen(v));
        }
    }
}

struct LegendEntry {
    QColor colour;
    enum Kind { Line, Dashed, Band, Mark } kind;
    QString text;
};

void drawLegend(QPainter& p, const QRectF& plot, const std::vector<LegendEntry>& legend) {
    const QFontMetrics metrics = p.fontMetrics();
    int textWidth = 0;
    for (const LegendEntry& entry : legend) {
        textWidth = std::max(textWidth, metrics.horizontalAdvance(entry.text));
    }
    const int lineHeight = metrics.height() + 2;
    QPoint at(static_cast<int>(plot.left()) + 10, static_cast<int>(plot.top()) + 8);
    p.fillRect(QRect(at - QPoint(6, 4),
                     QSize(textWidth + 42, lineHeight * static_cast<int>(legend.size()) + 6)),
               kIvory);
    for (const LegendEntry& entry : legend) {
        const int mid = at.y() + metrics.height() / 2;
        if (entry.kind == LegendEntry::Line || entry.kind == LegendEntry::Dashed) {
            p.setPen(QPen(entry.colour, 2.5,
                          entry.kind == LegendEntry::Dashed ? Qt::DashLine : Qt::SolidLine));
            p.drawLine(at.x(), mid, at.x() + 24, mid);
        } else if (entry.kind == LegendEntry::Band) {
            p.fillRect(QRect(at.x(), mid - 5, 24, 10), entry.colour);
        } else {
            p.fillRect(QRect(at.x() + 9, mid - kMarkHeight / 2, 5, kMarkHeight), entry.colour);
        }
        p.setPen(Qt::black);
        p.drawText(at.x() + 30, at.y() + metrics.ascent(), entry.text);
        at.ry() += lineHeight;
    }
}

}  // namespace

struct ProgressChart::Frame {
    QRectF main;
    QRectF marks;
    QRectF gap;
    double dateTop = 0;
    int labelWidth = 0;
};

ProgressChart::ProgressChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ProgressChart::setFigures(std::shared_ptr<const ProgressFigures> figures) {
    figures_ = std::move(figures);
    const ProgressFigures& f = *figures_;
    if (!f.planSeries.empty()) {
        std::int64_t low = 0;
        std::int64_t high = f.planSeries.back();
        std::int64_t gapLow = 0;
        std::int64_t gapHigh = 0;
        for (size_t k = 0; k < f.savedSeries.size(); ++k) {
            low = std::min(low, f.savedSeries[k]);
            high = std::max(high, f.savedSeries[k]);
            gapLow = std::min(gapLow, f.planSeries[k] - f.savedSeries[k]);
            gapHigh = std::max(gapHigh, f.planSeries[k] - f.savedSeries[k]);
        }
        mainScale_ = axisScale(low, high);
        gapScale_ = axisScale(gapLow, gapHigh);
    }
    update();
}

ProgressChart::Frame ProgressChart::frame() const {
    const QFontMetrics metrics = fontMetrics();
    Frame fr;
    for (const AxisScale& scale : {mainScale_, gapScale_}) {
        for (const std::int64_t v : {scale.low, scale.high}) {
            fr.labelWidth = std::max(fr.labelWidth, metrics.horizontalAdvance(moneyTextOfYen(v)));
        }
    }
    const double left = fr.labelWidth + 12;
    const double plotWidth = width() - left - 16;
    const double top = metrics.height() / 2.0 + 4;
    const double dates = metrics.height() + 6;
    const double room = height() - top - dates - kMarkHeight - 18;
    const double mainHeight = room * 0.68;
    fr.main = QRectF(left, top, plotWidth, mainHeight);
    fr.marks = QRectF(left, fr.main.bottom() + 4, plotWidth, kMarkHeight);
    fr.gap = QRectF(left, fr.marks.bottom() + 14, plotWidth, room - mainHeight);
    fr.dateTop = fr.gap.bottom() + 4;
    return fr;
}

bool ProgressChart::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip || !figures_ || figures_->planSeries.empty()) {
        return QWidget::event(event);
    }
    const auto* help = static_cast<QHelpEvent*>(event);
    const Frame fr = frame();
    const QPointF pos = help->pos();
    if (pos.x() < fr.main.left() || pos.x() >= fr.main.right() || pos.y() < fr.main.top() ||
        pos.y() > fr.gap.bottom()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const std::vector<Column> cols = columns(*figures_, fr.main.left(), fr.main.width());
    const auto count = static_cast<qint64>(cols.size());
    qint64 c = std::clamp<qint64>(static_cast<qint64>((pos.x() - fr.main.left()) / fr.main.width() *
                                                      static_cast<double>(count)),
                                  0, count - 1);
    // On the marks, the nearest marked column within a few pixels.
    if (fr.marks.adjusted(0, -4, 0, 4).contains(pos) &&
        cols[static_cast<size_t>(c)].mark == DayKind::Outside) {
        for (qint64 d = 1; d <= 3; ++d) {
            if (c + d < count && cols[static_cast<size_t>(c + d)].mark != DayKind::Outside) {
                c += d;
                break;
            }
            if (c - d >= 0 && cols[static_cast<size_t>(c - d)].mark != DayKind::Outside) {
                c -= d;
                break;
            }
        }
    }
    const Column& col = cols[static_cast<size_t>(c)];
    QToolTip::showText(help->globalPos(), chartSpanText(*figures_, col.k0, col.k1), this);
    return true;
}

void ProgressChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    if (!figures_ || figures_->planSeries.empty()) {
        p.drawText(rect(), Qt::AlignCenter,
                   figures_ && figures_->chartTooLong
                       ? QStringLiteral("期間が長すぎてグラフを描けません。")
                       : QStringLiteral("グラフに描ける日がありません。"));
        return;
    }
    const ProgressFigures& f = *figures_;
    const QFontMetrics metrics = p.fontMetrics();
    const Frame fr = frame();
    if (fr.main.width() < 10 || fr.main.height() < 10 || fr.gap.height() < 10) {
        return;
    }
    const std::vector<Column> cols = columns(f, fr.main.left(), fr.main.width());
    const bool hasSaved = !f.savedSeries.empty();

    p.fillRect(fr.main, kIvory);
    p.fillRect(fr.gap, kIvory);
    drawScale(p, fr.main, mainScale_, fr.labelWidth);
    if (hasSaved) {
        drawScale(p, fr.gap, gapScale_, fr.labelWidth);
    }

    // The lines, the gap between them shaded, and the gap on its own below.
    QPolygonF planPast;
    QPolygonF planAhead;
    QPolygonF saved;
    QPolygonF band;
    QPolygonF gap;
    std::vector<QPointF> savedLast;
    const double gapZero = yOf(fr.gap, gapScale_, 0);
    for (const Column& col : cols) {
        const QPointF plan(col.x, yOf(fr.main, mainScale_, col.plan));
        (col.k0 < f.dayNumber ? planPast : planAhead) << plan;
        if (!col.past) {
            continue;
        }
        saved << QPointF(col.x, yOf(fr.main, mainScale_, col.savedLow));
        if (col.savedHigh != col.savedLow) {
            saved << QPointF(col.x, yOf(fr.main, mainScale_, col.savedHigh));
        }
        band << plan;
        savedLast.emplace_back(col.x, yOf(fr.main, mainScale_, col.savedHigh));
        gap << QPointF(col.x, yOf(fr.gap, gapScale_, col.gapHigh));
    }
    if (!planPast.isEmpty() && !planAhead.isEmpty()) {
        planAhead.prepend(planPast.last());
    }
    std::reverse(savedLast.begin(), savedLast.end());
    for (const QPointF& point : savedLast) {
        band << point;
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kGapFill);
    p.drawPolygon(band);
    if (!gap.isEmpty()) {
        QPolygonF area = gap;
        area << QPointF(gap.last().x(), gapZero) << QPointF(gap.first().x(), gapZero);
        p.drawPolygon(area);
        p.setPen(QPen(kGapLine, 1.5));
        p.drawPolyline(gap);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kPlanColour, 2));
    p.drawPolyline(planPast);
    p.setPen(QPen(kPlanColour, 2, Qt::DashLine));
    p.drawPolyline(planAhead);
    p.setPen(QPen(kSavedColour, 2));
    p.drawPolyline(saved);
    p.setRenderHint(QPainter::Antialiasing, false);

    // A mark under each missed day (or pixel column holding one).
    const double markWidth = std::max(2.0, fr.main.width() / static_cast<double>(cols.size()) - 1);
    bool anyUnpaid = false;
    bool anyPaidLate = false;
    for (const Column& col : cols) {
        if (col.mark != DayKind::Outside) {
            anyUnpaid = anyUnpaid || col.mark == DayKind::Unpaid;
            anyPaidLate = anyPaidLate || col.mark == DayKind::PaidLate;
            p.fillRect(QRectF(col.x - markWidth / 2, fr.marks.top(), markWidth, kMarkHeight),
                       dayColour(col.mark));
        }
    }

    // Today, where the chart runs past it.
    const auto days = static_cast<qint64>(f.planSeries.size());
    if (f.dayNumber < days) {
        const double x = fr.main.left() + (static_cast<double>(f.dayNumber) - 0.5) *
                                              fr.main.width() / static_cast<double>(days);
        p.setPen(QPen(Qt::darkGray, 1, Qt::DotLine));
        p.drawLine(QPointF(x, fr.main.top()), QPointF(x, fr.gap.bottom()));
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 4, fr.main.center().y()), QStringLiteral("今日"));
    }

    // The gap's title and today's value.
    p.setPen(Qt::black);
    const QRectF gapCorner = fr.gap.adjusted(8, 4, -8, -4);
    p.drawText(gapCorner, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("計画との差"));
    if (hasSaved) {
        const std::int64_t now = f.planSeries[f.savedSeries.size() - 1] - f.savedSeries.back();
        const QString text =
            QStringLiteral("今日 ") + gapText(Amount::fromUnits(now * Amount::kScale));
        QFont bold = p.font();
        bold.setBold(true);
        p.setFont(bold);
        p.setPen(kGapLine);
        p.drawText(gapCorner, Qt::AlignRight | Qt::AlignTop, text);
        p.setFont(font());
    } else {
        p.drawText(fr.gap, Qt::AlignCenter, QStringLiteral("入金の記録はまだありません"));
    }

    // Axes, and the first and last dates below (today's between them).
    p.setPen(Qt::black);
    for (const QRectF& plot : {fr.main, fr.gap}) {
        p.drawLine(plot.bottomLeft(), plot.bottomRight());
        p.drawLine(plot.bottomLeft(), plot.topLeft());
    }
    const QRectF dateRow(fr.main.left(), fr.dateTop, fr.main.width(), metrics.height());
    const QString first = dateText(f.start);
    const QString last = dateText(f.start.addDays(days - 1));
    p.drawText(dateRow, Qt::AlignLeft, first);
    p.drawText(dateRow, Qt::AlignRight, last);
    const QString middle = dateText(f.start.addDays((days - 1) / 2));
    if (days <= 31) {
        // A short chart names each day between the first and the last.
        const double pitch = dateRow.width() / static_cast<double>(days);
        const double room = metrics.horizontalAdvance(first) + 8;
        for (qint64 k = 1; k + 1 < days; ++k) {
            const double x = dateRow.left() + (static_cast<double>(k) + 0.5) * pitch;
            if (x - dateRow.left() > room && dateRow.right() - x > room) {
                p.drawText(QRectF(x - pitch / 2, dateRow.top(), pitch, dateRow.height()),
                           Qt::AlignHCenter, dayOfMonthText(f.start.addDays(k)));
            }
        }
    } else if (metrics.horizontalAdvance(middle) * 3 + 40 < dateRow.width()) {
        p.drawText(dateRow, Qt::AlignHCenter, middle);
    }

    std::vector<LegendEntry> legend;
    if (f.dayNumber > 1) {
        legend.push_back({kPlanColour, LegendEntry::Line, QStringLiteral("計画の累計")});
    }
    if (f.dayNumber < days) {
        legend.push_back(
            {kPlanColour, LegendEntry::Dashed, QStringLiteral("これからの計画の累計")});
    }
    if (hasSaved) {
        legend.push_back({kSavedColour, LegendEntry::Line, QStringLiteral("貯金の累計")});
        legend.push_back({kGapFill, LegendEntry::Band, QStringLiteral("計画との差")});
    }
    if (anyPaidLate) {
        legend.push_back({dayColour(DayKind::PaidLate), LegendEntry::Mark,
                          QStringLiteral("入金しなかった日（あとで入金）")});
    }
    if (anyUnpaid) {
        legend.push_back({dayColour(DayKind::Unpaid), LegendEntry::Mark,
                          QStringLiteral("入金しなかった日（未入金）")});
    }
    drawLegend(p, fr.main, legend);
}

}  // namespace hibi
