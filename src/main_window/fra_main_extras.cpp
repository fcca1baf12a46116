#include <QCoreApplication>

#include "main_window/fra_main.h"
#include "reminder/reminder_platform.h"
#include "reminder_window/frm_reminder.h"

// Menu items that keep the habit: the daily reminder.

void fraMain::mnuReminder_Click() {
    const QString program = QCoreApplication::applicationFilePath();
    const QString folder = plan_.directory();
    const hibi::reminder::Setup setup = hibi::reminder::current(program, folder);
    frmReminder dialog(setup, folder, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    std::optional<QString> problem;
    if (dialog.turnedOn()) {
        problem = hibi::reminder::turnOn(dialog.time(), program, folder);
    } else if (setup.on) {
        problem = hibi::reminder::turnOff();
    }
    if (problem) {
        showError(QStringLiteral("毎日のお知らせを設定できませんでした。\n%1").arg(*problem));
    }
}
