#include <QDate>
#include <QDir>
#include <cstdio>

#include "app/command_line.h"
#include "plan/reminder.h"
#include "reminder/reminder_platform.h"

namespace hibi::app {

int remind(int& argc, char** argv, const char* directory) {
    // Absolute, so that "開く" starts the program in the same folder.
    const QString folder = QDir(QString::fromLocal8Bit(directory)).absolutePath();
    const ReminderCheck check = checkReminder(folder, QDate::currentDate());
    switch (check.kind) {
        case ReminderCheck::Kind::Done:
            return 0;
        case ReminderCheck::Kind::CannotTell:
            std::fprintf(stderr, "hibinobori: %s\n", qPrintable(check.text));
            return 0;
        case ReminderCheck::Kind::Due:
            break;
    }
    return reminder::notify(argc, argv, reminderTitle(), check.text, folder);
}

}  // namespace hibi::app
