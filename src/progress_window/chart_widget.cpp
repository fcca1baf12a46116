#include "progress_window/chart_widget.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "ledger/text_formats.h"
#include "ui_common/layout.h"

namespace hibi {

namespace {

const QColor kPlanColour(0x33, 0x66, 0xCC);
const QColor kSavedColour(0xE0, 0x7B, 0x00);
const QColor kMissedColour(0xD0, 0x20, 0x20);
const QColor kGridColour(0xD8, 0xD8, 0xD0);

constexpr int kTickLength = 5;

// A round step for about four intervals over span yen: 1, 2 or 5 times a
// power of ten.
std::int64_t niceStep(std::int64_t span) {
    const double raw = std::max<double>(static_cast<double>(span) / 4.0, 1.0);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0, 10.0}) {
        if (factor * power >= raw) {
            return static_cast<std::int64_t>(factor * power);
        }
    }
    return static_cast<std::int64_t>(10.0 * power);
}

// One pixel column's share of the series: the plan at its last day, the
// saved line's lowest and highest values, and whether a day was missed.
struct Column {
    double x = 0;
    std::int64_t plan = 0;
    std::int64_t savedLow = 0;
    std::int64_t savedHigh = 0;
    bool missed = false;
};

// The series thinned to at most one column per pixel of width (one per day
// when the days are fewer).
std::vector<Column> columns(const ProgressFigures& f, double left, double width) {
    const auto days = static_cast<std::int64_t>(f.planSeries.size());
    const auto pixels = std::max<std::int64_t>(static_cast<std::int64_t>(width), 1);
    const std::int64_t count = std::min(days, pixels);
    const bool saved = !f.savedSeries.empty();
    std::vector<Column> out(static_cast<size_t>(count));
    for (std::int64_t c = 0; c < count; ++c) {
        const std::int64_t k0 = c * days / count;
        const std::int64_t k1 = std::max((c + 1) * days / count, k0 + 1);
        Column& col = out[static_cast<size_t>(c)];
        // A plan of one day stands in the middle.
        const double at =
            days > 1 ? static_cast<double>(k1 - 1) / static_cast<double>(days - 1) : 0.5;
        col.x = left + at * width;
        col.plan = f.planSeries[static_cast<size_t>(k1 - 1)];
        col.savedLow = saved ? f.savedSeries[static_cast<size_t>(k0)] : 0;
        col.savedHigh = col.savedLow;
        for (std::int64_t k = k0; k < k1; ++k) {
            const auto i = static_cast<size_t>(k);
            col.missed = col.missed || f.missed[i];
            if (saved) {
                col.savedLow = std::min(col.savedLow, f.savedSeries[i]);
                col.savedHigh = std::max(col.savedHigh, f.savedSeries[i]);
            }
        }
    }
    return out;
}

// A series' line; a single day is a dot.
void drawLine(QPainter& p, const QPolygonF& points, const QColor& colour) {
    p.setPen(QPen(colour, 2));
    p.setBrush(colour);
    if (points.size() == 1) {
        p.drawEllipse(points.first(), 3, 3);
    } else {
        p.drawPolyline(points);
    }
}

void drawLegendEntry(QPainter& p, QPoint at, const QColor& colour, bool tick, const QString& text) {
    const QFontMetrics metrics = p.fontMetrics();
    const int mid = at.y() + metrics.height() / 2;
    p.setPen(QPen(colour, tick ? 1.5 : 2.5));
    if (tick) {
        for (int x = at.x() + 4; x <= at.x() + 20; x += 4) {
            p.drawLine(x, mid - 4, x, mid + 4);
        }
    } else {
        p.drawLine(at.x(), mid, at.x() + 24, mid);
    }
    p.setPen(Qt::black);
    p.drawText(at.x() + 30, at.y() + metrics.ascent(), text);
}

}  // namespace

ProgressChart::ProgressChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ProgressChart::setFigures(ProgressFigures&& figures) {
    figures_ = std::move(figures);
    update();
}

void ProgressChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    const QFontMetrics metrics = p.fontMetrics();
    const ProgressFigures& f = figures_;
    if (f.planSeries.empty()) {
        p.drawText(rect(), Qt::AlignCenter,
                   f.chartTooLong ? QStringLiteral("期間が長すぎてグラフを描けません。")
                                  : QStringLiteral("グラフに描ける日がありません。"));
        return;
    }

    // The vertical scale: from 0 (or the lowest saved total) to a round
    // amount above the highest value.
    std::int64_t low = 0;
    std::int64_t high = f.planSeries.back();
    if (!f.savedSeries.empty()) {
        const auto [lo, hi] = std::minmax_element(f.savedSeries.begin(), f.savedSeries.end());
        low = std::min(low, *lo);
        high = std::max(high, *hi);
    }
    const std::int64_t step = niceStep(high - low);
    low = low < 0 ? -((-low + step - 1) / step) * step : 0;
    // At least four steps, so that a short plan does not fill the height at once.
    high = std::max((high + step - 1) / step * step, low + 4 * step);

    int labelWidth = 0;
    for (std::int64_t v = low; v <= high; v += step) {
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(moneyTextOfYen(v)));
    }
    const QRectF plot(labelWidth + 12, metrics.height() / 2 + 4, width() - labelWidth - 24,
                      height() - metrics.height() * 2 - 12);
    if (plot.width() < 10 || plot.height() < 10) {
        return;
    }
    auto yOf = [&](std::int64_t v) {
        return plot.bottom() -
               static_cast<double>(v - low) / static_cast<double>(high - low) * plot.height();
    };

    p.fillRect(plot, kIvory);
    for (std::int64_t v = low; v <= high; v += step) {
        const double y = yOf(v);
        p.setPen(kGridColour);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, y - metrics.height() / 2.0, labelWidth + 6, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, moneyTextOfYen(v));
    }

    const std::vector<Column> cols = columns(f, plot.left(), plot.width());
    bool anyMissed = false;
    p.setPen(QPen(kMissedColour, 1));
    for (const Column& col : cols) {
        if (col.missed) {
            anyMissed = true;
            p.drawLine(QPointF(col.x, plot.bottom() - kTickLength), QPointF(col.x, plot.bottom()));
        }
    }

    p.setRenderHint(QPainter::Antialiasing);
    QPolygonF plan;
    QPolygonF saved;
    plan.reserve(static_cast<qsizetype>(cols.size()));
    saved.reserve(static_cast<qsizetype>(cols.size() * 2));
    for (const Column& col : cols) {
        plan << QPointF(col.x, yOf(col.plan));
        saved << QPointF(col.x, yOf(col.savedLow));
        if (col.savedHigh != col.savedLow) {
            saved << QPointF(col.x, yOf(col.savedHigh));
        }
    }
    drawLine(p, plan, kPlanColour);
    if (!f.savedSeries.empty()) {
        drawLine(p, saved, kSavedColour);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);

    // Axes, and the first, middle and last dates below.
    p.setPen(Qt::black);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    const double textTop = plot.bottom() + 4;
    const qint64 days = static_cast<qint64>(f.planSeries.size());
    p.drawText(QRectF(plot.left(), textTop, plot.width(), metrics.height()),
               days > 1 ? Qt::AlignLeft : Qt::AlignHCenter, dateText(f.start));
    if (days > 1) {
        p.drawText(QRectF(plot.left(), textTop, plot.width(), metrics.height()), Qt::AlignRight,
                   dateText(f.today));
        const QString middle = dateText(f.start.addDays((days - 1) / 2));
        if (metrics.horizontalAdvance(middle) * 3 + 40 < plot.width() && days > 2) {
            p.drawText(QRectF(plot.left(), textTop, plot.width(), metrics.height()),
                       Qt::AlignHCenter, middle);
        }
    }

    // The legend, in the top left corner, which the lines reach last.
    struct Entry {
        QColor colour;
        bool tick;
        QString text;
    };
    std::vector<Entry> legend{{kPlanColour, false, QStringLiteral("計画の累計")}};
    if (!f.savedSeries.empty()) {
        legend.push_back({kSavedColour, false, QStringLiteral("貯金の累計")});
    }
    if (anyMissed) {
        legend.push_back({kMissedColour, true, QStringLiteral("入金しなかった日")});
    }
    int textWidth = 0;
    for (const Entry& entry : legend) {
        textWidth = std::max(textWidth, metrics.horizontalAdvance(entry.text));
    }
    const int lineHeight = metrics.height() + 2;
    QPoint at(static_cast<int>(plot.left()) + 10, static_cast<int>(plot.top()) + 8);
    p.fillRect(QRect(at - QPoint(6, 4),
                     QSize(textWidth + 42, lineHeight * static_cast<int>(legend.size()) + 6)),
               kIvory);
    for (const Entry& entry : legend) {
        drawLegendEntry(p, at, entry.colour, entry.tick, entry.text);
        at.ry() += lineHeight;
    }
}

}  // namespace hibi
