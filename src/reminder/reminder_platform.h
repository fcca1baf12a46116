#pragma once

#include <QString>
#include <QTime>
#include <optional>

// The daily reminder's ties to the system: how it is scheduled and how it
// shows its notification. reminder_linux.cpp (systemd user timer or XDG
// autostart, freedesktop notifications over D-Bus) and reminder_windows.cpp
// (Task Scheduler, tray message) each implement it.
namespace hibi::reminder {

// How the reminder is set up now.
struct Setup {
    bool on = false;
    bool atLogin = false;  // on where no timer can be set: reminds at each login
    QTime time;            // the time of day it reminds at (not at login)
    // Whether it starts exactly this program for exactly this folder.
    bool forThisFolder = false;
};

Setup current(const QString& program, const QString& directory);

// Sets the reminder up to run "program --remind directory" every day at
// time, in place of any earlier set-up. Returns why not, in Japanese, after
// undoing what was done.
std::optional<QString> turnOn(const QTime& time, const QString& program, const QString& directory);

// Removes what turnOn made. Returns why not, in Japanese.
std::optional<QString> turnOff();

// Where the reminder's own files go, for the dialog to name.
QString setupLocation();

// Shows the notification and waits for the answer; its action "開く"
// starts this program in directory. Makes the application object it needs.
// Returns the exit code.
int notify(int& argc, char** argv, const QString& title, const QString& text,
           const QString& directory);

}  // namespace hibi::reminder
