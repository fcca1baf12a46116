#pragma once

#include <QString>
#include <QStringView>
#include <optional>

#include "ledger/checked.h"

// How a typed or stored goal becomes a number of days and an amount.
namespace hibi {

// The goal used when no saved goal can be read: a year of the plan.
inline constexpr int kDefaultGoalDays = 365;
// The largest goal the day counter can run up to.
inline constexpr int kMaxGoalDays = 32766;

// The number a text starts with: leading blanks skipped, then an optional
// sign, digits, an optional "." and digits, an optional exponent (E or e, an
// optional sign, digits); reading stops at the first character that does not
// fit. No digits at all gives 0. The period is the decimal point whatever the
// locale. hasDigits tells whether any digit was read.
struct LeadingNumber {
    double value = 0.0;
    bool hasDigits = false;
};
LeadingNumber leadingNumber(QStringView text);

// True when the whole text reads as one number: optional blanks around it,
// an optional sign, digits with at most one decimal point, an optional
// exponent.
bool isNumericText(QStringView text);

// Rounds to the nearest whole number, halves to the even neighbour (12.5 is
// 12, 13.5 is 14), as a goal: nothing when the result lies outside
// -32,768..32,766.
std::optional<Integer> roundToGoalDays(double value);

// 1 + 2 + ... + days; 0 for days of 0 or less.
Amount goalAmount(Integer days);

// The goal as the goal file holds it: "365", "12.5", "1000" for 1e3, "-5".
QString goalValueText(double value);

// The text with the full-width digits, period, signs, exponent letters and
// blanks an input method types turned into their ASCII counterparts.
QString asciiGoalText(QStringView text);

// The goal a typed text asks for when Enter is pressed: nothing when the text
// is empty, not a number, or out of range; otherwise the days and the value
// to save.
struct GoalEntry {
    Integer days;
    double value = 0.0;
};
std::optional<GoalEntry> goalFromTypedText(QStringView text);

// The days the goal box shows right now (no check that the text is numeric:
// the amount follows whatever number the text starts with). Nothing when
// out of range.
std::optional<Integer> goalDaysFromBoxText(QStringView text);

// The goal days a goal file's bytes hold: the first number, rounded; the
// default goal when there is none or it is out of range.
Integer goalDaysFromFileContent(const QByteArray& content);

}  // namespace hibi
