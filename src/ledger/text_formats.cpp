#include "ledger/text_formats.h"

#include <cstdlib>

namespace hibi {

namespace {

const QChar kYenSign(0x00A5);

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// Magnitude of an amount as whole yen and ten-thousandths, computed without
// negating INT64_MIN.
struct Magnitude {
    std::uint64_t yen;
    std::uint64_t fraction;
    bool negative;
};

Magnitude magnitudeOf(Amount amount) {
    const std::int64_t units = amount.units();
    const bool negative = units < 0;
    const std::uint64_t absolute =
        negative ? static_cast<std::uint64_t>(-(units + 1)) + 1 : static_cast<std::uint64_t>(units);
    return {absolute / Amount::kScale, absolute % Amount::kScale, negative};
}

// "¥1,234", "-¥5" for a magnitude in whole yen.
QString groupedYen(std::uint64_t yen, bool negative) {
    const QString digits = QString::number(yen);
    QString grouped;
    grouped.reserve(digits.size() + digits.size() / 3 + 2);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += QLatin1Char(',');
        }
        grouped += digits[i];
    }
    return (negative && yen != 0 ? QStringLiteral("-") : QString()) + kYenSign + grouped;
}

}  // namespace

QString dateText(const QDate& date) {
    return QStringLiteral("%1年%2月%3日")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(twoDigits(date.month()), twoDigits(date.day()));
}

QString timeText(const QTime& time) {
    return QStringLiteral("%1:%2:%3")
        .arg(twoDigits(time.hour()), twoDigits(time.minute()), twoDigits(time.second()));
}

QString decimalText(Amount amount) {
    const Magnitude m = magnitudeOf(amount);
    QString text = m.negative ? QStringLiteral("-") : QString();
    text += QString::number(m.yen);
    if (m.fraction != 0) {
        QString fraction = QStringLiteral("%1").arg(m.fraction, 4, 10, QLatin1Char('0'));
        while (fraction.endsWith(QLatin1Char('0'))) {
            fraction.chop(1);
        }
        text += QLatin1Char('.') + fraction;
    }
    return text;
}

QString moneyText(Amount amount) {
    Magnitude m = magnitudeOf(amount);
    if (m.fraction * 2 >= static_cast<std::uint64_t>(Amount::kScale)) {
        ++m.yen;
    }
    return groupedYen(m.yen, m.negative);
}

QString moneyTextOfYen(std::int64_t yen) {
    const bool negative = yen < 0;
    return groupedYen(
        negative ? static_cast<std::uint64_t>(-(yen + 1)) + 1 : static_cast<std::uint64_t>(yen),
        negative);
}

QString yenText(Amount amount) {
    return decimalText(amount) + QStringLiteral("円");
}

QString dayOfMonthText(const QDate& date) {
    return QString::number(date.day()) + QStringLiteral("日");
}

QString dayLabel(Integer dayNumber) {
    return QString::number(dayNumber.value()) + QStringLiteral("日");
}

QString rowNumberText(int ordinal) {
    return QString::number(ordinal);
}

QString scheduleDayText(int dayNumber) {
    return QString::number(dayNumber) + QStringLiteral("日目");
}

}  // namespace hibi
