#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include "ledger/checked.h"

// Every way the program turns a value into text. The texts do not depend on
// the machine's locale: this is a yen-only program with Japanese texts.
namespace hibi {

// "2008年05月01日": four-digit year, two-digit month and day.
QString dateText(const QDate& date);
// "07:05:09", 24-hour clock.
QString timeText(const QTime& time);
// Plain decimal text of an amount: "12", "-3", "12.5" (a fraction only when
// there is one, trailing zeros dropped). Used by the ledger file and yen text.
QString decimalText(Amount amount);
// "¥1,234": yen sign U+00A5, thousands grouped with commas, no decimals (a
// fraction is rounded half away from zero), "-¥5" when negative.
QString moneyText(Amount amount);
// The same for whole yen of any size, as a chart's axis counts them.
QString moneyTextOfYen(std::int64_t yen);
// "12円".
QString yenText(Amount amount);
// "5日": day of the month without a leading zero.
QString dayOfMonthText(const QDate& date);
// "12日" for the day number 12.
QString dayLabel(Integer dayNumber);
// "3" for the third record.
QString rowNumberText(int ordinal);
// "7日目" for day 7 of the plan.
QString scheduleDayText(int dayNumber);

}  // namespace hibi
