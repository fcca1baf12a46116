#pragma once

#include <QColor>

#include "plan/progress_days.h"

namespace hibi {

// The colours of the plan's days, the same in the calendar and the chart's
// marks. Missed days also carry a mark of their own in the calendar, so
// that they do not depend on telling red from green.
inline QColor dayColour(DayKind kind) {
    switch (kind) {
        case DayKind::Deposited:
            return {0x3A, 0x9A, 0x4A};
        case DayKind::PaidLate:
            return {0xF0, 0xB0, 0x30};
        case DayKind::Unpaid:
            return {0xD0, 0x30, 0x30};
        case DayKind::DueToday:
            return {0xFF, 0xFF, 0xFF};
        case DayKind::Outside:
            break;
    }
    return {0xE4, 0xE4, 0xDC};
}

// The frame round today's square.
inline const QColor kTodayFrame(0x20, 0x20, 0x20);

}  // namespace hibi
