#include "plan/progress_days.h"

#include <algorithm>
#include <limits>

#include "ledger/text_formats.h"

namespace hibi {

namespace {

// a + b, held at the largest amount instead of wrapping.
std::int64_t addSaturated(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::max()
                     : std::numeric_limits<std::int64_t>::min();
    }
    return sum;
}

// The plan's amount for day index k, in ten-thousandths.
std::int64_t plannedUnits(qint64 index) {
    return (index + 1) * Amount::kScale;
}

}  // namespace

PlanDays::PlanDays(const std::vector<qint64>& recordDays, const QList<LedgerRecord>& records,
                   const QDate& start, const QDate& today, qint64 maxDays)
    : start_(start), today_(today) {
    if (!start.isValid() || !today.isValid()) {
        return;
    }
    const qint64 first = start.toJulianDay();
    const qint64 count = today.toJulianDay() - first + 1;
    if (count < 1 || count > maxDays) {
        return;
    }
    const auto days = static_cast<size_t>(count);
    kinds_.assign(days, DayKind::Unpaid);
    recordedUnits_.assign(days, 0);
    const size_t counted = std::min(recordDays.size(), static_cast<size_t>(records.size()));
    for (size_t i = 0; i < counted; ++i) {
        const qint64 index = recordDays[i] - first;
        if (recordDays[i] == 0 || index < 0 || index >= count) {
            continue;
        }
        const auto k = static_cast<size_t>(index);
        kinds_[k] = DayKind::Deposited;
        recordedUnits_[k] =
            addSaturated(recordedUnits_[k], records[static_cast<qsizetype>(i)].amount.units());
    }
    for (qint64 index = 0; index < count; ++index) {
        if (kinds_[static_cast<size_t>(index)] == DayKind::Deposited) {
            depositIndexes_.push_back(index);
        }
    }

    // What each deposit holds beyond its own day pays the days missed before
    // it, oldest first; the days it cannot pay whole stay unpaid.
    qint64 previous = -1;
    for (const qint64 deposit : depositIndexes_) {
        std::int64_t surplus =
            addSaturated(recordedUnits_[static_cast<size_t>(deposit)], -plannedUnits(deposit));
        for (qint64 index = previous + 1; index < deposit; ++index) {
            if (surplus < plannedUnits(index)) {
                break;
            }
            surplus -= plannedUnits(index);
            kinds_[static_cast<size_t>(index)] = DayKind::PaidLate;
        }
        previous = deposit;
    }
    if (kinds_.back() != DayKind::Deposited) {
        kinds_.back() = DayKind::DueToday;
    }
}

DayInfo PlanDays::info(const QDate& date) const {
    DayInfo day;
    day.date = date;
    if (!start_.isValid() || !date.isValid()) {
        return day;
    }
    const qint64 index = start_.daysTo(date);
    day.dayNumber = index + 1;
    day.kind = kindAt(index);
    if (day.kind == DayKind::Deposited) {
        day.recorded = Amount::fromUnits(recordedUnits_[static_cast<size_t>(index)]);
    } else if (day.kind == DayKind::PaidLate) {
        const auto paid = std::upper_bound(depositIndexes_.begin(), depositIndexes_.end(), index);
        if (paid != depositIndexes_.end()) {
            day.paidOn = start_.addDays(*paid);
        }
    }
    return day;
}

DayCounts PlanDays::counts(const QDate& from, const QDate& to) const {
    DayCounts counts;
    if (isEmpty() || !from.isValid() || !to.isValid()) {
        return counts;
    }
    const qint64 begin = std::max<qint64>(start_.daysTo(from), 0);
    const qint64 end = std::min<qint64>(start_.daysTo(to), size() - 1);
    for (qint64 index = begin; index <= end; ++index) {
        switch (kinds_[static_cast<size_t>(index)]) {
            case DayKind::Deposited:
                ++counts.deposited;
                break;
            case DayKind::PaidLate:
                ++counts.paidLate;
                break;
            case DayKind::Unpaid:
                ++counts.unpaid;
                break;
            case DayKind::DueToday:
            case DayKind::Outside:
                break;
        }
    }
    return counts;
}

QString weekdayText(const QDate& date) {
    static const QString kNames = QStringLiteral("日月火水木金土");
    return date.isValid() ? QString(kNames[date.dayOfWeek() % 7]) : QString();
}

QString dayDescription(const DayInfo& day, const QDate& today) {
    QString text =
        dateText(day.date) + QStringLiteral("（") + weekdayText(day.date) + QStringLiteral("）");
    if (day.date == today) {
        text += QStringLiteral(" 今日");
    }
    // Far from the plan there is nothing to say but the date.
    constexpr qint64 kFar = 10'000'000;
    if (day.dayNumber < 1 || day.dayNumber > kFar) {
        return day.dayNumber < 1 ? text + QStringLiteral("\n計画の開始前") : text;
    }
    const QString number = QString::number(day.dayNumber) + QStringLiteral("日目");
    const Amount planned = Amount::fromUnits(plannedUnits(day.dayNumber - 1));
    const QString dayAndAmount = number + QStringLiteral(" ") + moneyText(planned);
    switch (day.kind) {
        case DayKind::Deposited:
            text +=
                QStringLiteral("\n") + number + QStringLiteral("\n入金 ") + moneyText(day.recorded);
            if (day.recorded != planned) {
                text += QStringLiteral("（この日の分 ") + moneyText(planned) + QStringLiteral("）");
            }
            return text;
        case DayKind::PaidLate:
            return text + QStringLiteral("\n") + dayAndAmount + QStringLiteral("\n") +
                   (day.paidOn.isValid() ? dateText(day.paidOn) : QString()) +
                   QStringLiteral("に滞納金として入金");
        case DayKind::Unpaid:
            return text + QStringLiteral("\n") + dayAndAmount + QStringLiteral("\n未入金");
        case DayKind::DueToday:
            return text + QStringLiteral("\n") + dayAndAmount +
                   QStringLiteral("\nまだ入金していません");
        case DayKind::Outside:
            break;
    }
    return day.date > today
               ? text + QStringLiteral("\n") + dayAndAmount + QStringLiteral("\nこれからの日")
               : text + QStringLiteral("\n") + number;
}

}  // namespace hibi
