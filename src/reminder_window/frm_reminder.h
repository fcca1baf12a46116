#pragma once

#include <QDialog>
#include <QTime>

#include "reminder/reminder_platform.h"

class QCheckBox;
class QLabel;
class QTimeEdit;

namespace hibi {

// The daily reminder's settings: on or off, the time of day, and the folder
// whose ledger it watches (the one the program runs in).
class frmReminder : public QDialog {
    Q_OBJECT
  public:
    frmReminder(const hibi::reminder::Setup& setup, const QString& folder,
                QWidget* parent = nullptr);

    bool turnedOn() const;
    QTime time() const;

  private:
    void updateNote();

    hibi::reminder::Setup setup_;
    QCheckBox* chkRemind_ = nullptr;
    QTimeEdit* tmeRemind_ = nullptr;
    QLabel* lblNote_ = nullptr;
};

}  // namespace hibi
