#pragma once

#include <QDialog>
#include <QList>

#include "plan/history_files.h"

class QListWidget;
class QPushButton;

namespace hibi {

// Lists the kept copies of the ledger, newest first, and asks which one to
// put back. A copy that does not read whole is listed but cannot be chosen.
class frmRestore : public QDialog {
    Q_OBJECT
  public:
    frmRestore(const hibi::Backups& backups, QWidget* parent = nullptr);

    // The copy the user chose and confirmed; empty otherwise.
    QString chosenFile() const { return chosen_; }

    // One line of the list: when the copy was made, why, its records, last
    // date and total.
    static QString lineFor(const hibi::BackupSummary& summary);

  private:
    void lstBackup_Activated();

    QList<hibi::BackupSummary> summaries_;
    QListWidget* lstBackup_ = nullptr;
    QPushButton* cmdRestore_ = nullptr;
    QString chosen_;
};

}  // namespace hibi
