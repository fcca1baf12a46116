#pragma once

#include <QDate>
#include <QString>

#include "ledger/schedule.h"

// The daily reminder's question: is today's deposit still to be made, and
// what does the day ask for?
namespace hibi {

struct ReminderCheck {
    enum class Kind {
        Due,         // today's deposit is not made: remind
        Done,        // today's deposit is recorded: stay silent
        CannotTell,  // the ledger cannot be read or its dates cannot be trusted
    };
    Kind kind = Kind::CannotTell;
    // Due: the notification's text; CannotTell: why, one line.
    QString text;
};

// The notification's title, the program's name: "ヌピカ貯めよう！".
QString reminderTitle();

// What today asks for, as the notification says it: "今日は436円の日です",
// with "（3日からの滞納金 869円、計 1305円）" after it when days were missed.
QString reminderText(const Schedule& schedule);

// The decision for a schedule computed on today. Records dated after today,
// or a last record before the first, tell nothing to remind of.
ReminderCheck reminderFor(const Schedule& schedule, const QDate& today);

// Reads the ledger in directory, writes nothing (a missing ledger is not
// made), and decides for today.
ReminderCheck checkReminder(const QString& directory, const QDate& today);

}  // namespace hibi
