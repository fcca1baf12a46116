#pragma once

#include <QString>
#include <QTime>
#include <optional>

// What sets the daily reminder up, as text: the systemd user timer and
// service, the XDG autostart entry where no user systemd runs, and the
// Windows Task Scheduler task. Each starts "PROGRAM --remind DIRECTORY".
namespace hibi {

// The file names; the timer starts the service of the same name.
QString reminderTimerName();      // "hibinobori-reminder.timer"
QString reminderServiceName();    // "hibinobori-reminder.service"
QString reminderAutostartName();  // "hibinobori-reminder.desktop"
QString reminderTaskName();       // "hibinobori-reminder"

// Every day at time, and at the next start when the machine was off then.
QString reminderTimerUnit(const QTime& time);
QString reminderServiceUnit(const QString& program, const QString& directory);
// At every login.
QString reminderAutostartEntry(const QString& program, const QString& directory);
// The task's XML definition for "schtasks /Create /XML": daily at time,
// started late when the machine was off, as the user who made it.
QString reminderTaskXml(const QTime& time, const QString& program, const QString& directory);

// The time a timer unit of ours fires at, or nothing.
std::optional<QTime> reminderTimerTime(const QString& timerUnit);
// The time in a task definition of ours, or nothing.
std::optional<QTime> reminderTaskTime(const QString& taskXml);

// One word of a command line, quoted for each reader: systemd's ExecStart
// (C escapes, "%" and "$" doubled), a desktop entry's Exec (the entry's
// quoting, then its string escapes, "%" doubled), and the Windows C runtime.
QString systemdQuoted(const QString& word);
QString desktopExecQuoted(const QString& word);
QString windowsQuoted(const QString& word);

}  // namespace hibi
