#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QUrl>

#include "goal/goal_file.h"
#include "help/manual_window.h"
#include "ledger/atomic_file.h"
#include "main_window/fra_main.h"
#include "main_window/plan_messages.h"
#include "plan/history_files.h"
#include "progress_window/progress_window.h"
#include "restore_window/frm_restore.h"
#include "schedule_window/frm_sub.h"
#include "ui_common/clock.h"
#include "ui_common/message_box.h"

namespace hibi {

// The menu bar above the original window content, and what its items do
// beyond the buttons.

using hibi::MessageBox;

namespace {

QAction* addItem(QMenu* menu, const QString& caption, const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(caption);
    action->setShortcut(shortcut);
    return action;
}

}  // namespace

void fraMain::buildMenu() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("mnuMain"));
    menuBar_->setAccessibleName(QStringLiteral("メニュー"));

    QMenu* file = menuBar_->addMenu(QStringLiteral("ファイル(&F)"));
    file->setToolTipsVisible(true);
    mnuExport_ = addItem(file, QStringLiteral("履歴をCSVに書き出す(&E)..."),
                         QKeySequence(Qt::CTRL | Qt::Key_E));
    mnuTakeBack_ = addItem(file, QStringLiteral("今日の入金を取り消す(&U)..."));
    QAction* restore = addItem(file, QStringLiteral("バックアップから戻す(&R)..."));
    mnuClear_ = addItem(file, QStringLiteral("記録を空にする(&C)..."));
    QAction* folder = addItem(file, QStringLiteral("台帳ファイルのフォルダーを開く(&O)"));
    file->addSeparator();
    QAction* quit = addItem(file, QStringLiteral("終了(&X)"), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* view = menuBar_->addMenu(QStringLiteral("表示(&V)"));
    QAction* progress =
        addItem(view, QStringLiteral("進み具合(&G)..."), QKeySequence(Qt::CTRL | Qt::Key_G));
    QAction* schedule = addItem(view, QStringLiteral("貯金表(&S)"));
    QAction* reminder = addItem(view, QStringLiteral("毎日のお知らせ(&N)..."));

    QMenu* help = menuBar_->addMenu(QStringLiteral("ヘルプ(&H)"));
    QAction* manual = addItem(help, QStringLiteral("ヘルプ(&H)"), QKeySequence(Qt::Key_F1));
    QAction* about = addItem(help, QStringLiteral("ヌピカ貯めよう！について(&A)"));

    connect(mnuExport_, &QAction::triggered, this, &fraMain::mnuExport_Click);
    connect(mnuTakeBack_, &QAction::triggered, this, &fraMain::mnuTakeBack_Click);
    // Today's deposit may have been made or the day changed since the last look.
    connect(file, &QMenu::aboutToShow, this,
            [this] { mnuTakeBack_->setEnabled(plan_.todaysDeposit().has_value()); });
    connect(restore, &QAction::triggered, this, &fraMain::mnuRestore_Click);
    connect(mnuClear_, &QAction::triggered, this, &fraMain::cmdEveryClr_Click);
    connect(folder, &QAction::triggered, this, &fraMain::mnuFolder_Click);
    connect(quit, &QAction::triggered, this, &fraMain::cmdEnd_Click);
    connect(progress, &QAction::triggered, this, &fraMain::mnuProgress_Click);
    connect(schedule, &QAction::triggered, this, [this] {
        frmSub window(this);
        window.exec();
    });
    connect(reminder, &QAction::triggered, this, &fraMain::mnuReminder_Click);
    connect(manual, &QAction::triggered, this, &fraMain::mnuManual_Click);
    connect(about, &QAction::triggered, this, &fraMain::mnuAbout_Click);
}

// What the menu can do depends on the ledger: nothing to export from one
// that could not be read, nothing to empty without the code page.
void fraMain::updateMenu() {
    const bool readable = plan_.block() != hibi::DepositBlock::LedgerUnreadable &&
                          plan_.block() != hibi::DepositBlock::CodecMissing;
    mnuExport_->setEnabled(readable);
    mnuExport_->setToolTip(readable ? QString()
                                    : QStringLiteral("台帳ファイルを読み込めなかったため、"
                                                     "書き出せません。"));
    mnuClear_->setEnabled(plan_.canReset());
    mnuTakeBack_->setEnabled(plan_.todaysDeposit().has_value());
}

void fraMain::mnuExport_Click() {
    const QString suggested = QDir(plan_.directory()).filePath(hibi::csvFileName(clock_.today()));
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("履歴をCSVに書き出す"), suggested,
                                     QStringLiteral("CSV ファイル (*.csv)"));
    if (path.isEmpty()) {
        return;
    }
    if (hibi::isProgramDataPath(path, plan_.directory())) {
        showError(QStringLiteral(
                      "「%1」には書き出せません。\n台帳ファイル、目標ファイル、ロックファイルと、"
                      "フォルダー「%2」の中には、履歴を書き出せません（記録を守るため）。"
                      "\n\n別の名前か場所を選んでください。")
                      .arg(QDir::toNativeSeparators(path), hibi::Backups::folderName()));
        return;
    }
    if (auto error =
            hibi::writeHistoryCsv(path, hibi::historyCsv(plan_.records(), plan_.runningTotals()),
                                  QDir(plan_.directory()).filePath(plan_.ledgerFileName()))) {
        showError(QStringLiteral("履歴を「%1」に書き出せませんでした。\n理由: %2")
                      .arg(QDir::toNativeSeparators(path), hibi::systemErrorText(*error)));
    }
}

void fraMain::mnuRestore_Click() {
    frmRestore chooser(plan_.backups(), this);
    if (chooser.exec() != QDialog::Accepted || chooser.chosenFile().isEmpty()) {
        return;
    }
    if (!tookNewLedger(plan_.restore(chooser.chosenFile(), clock_.now()),
                       hibi::restoreProblemText)) {
        return;
    }
    // The main window then shows the plan as at start-up.
    showReloadedPlan();
    showPendingMessages();
}

void fraMain::mnuFolder_Click() {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(plan_.directory()))) {
        return;
    }
    // No file manager answered: the path, to be copied from the box.
    showError(
        QStringLiteral("フォルダーを開けるプログラムが見つかりませんでした。\n"
                       "台帳ファイルのフォルダーは次の場所です（選んでコピーできます）。\n\n%1")
            .arg(QDir::toNativeSeparators(plan_.directory())));
}

void fraMain::mnuAbout_Click() {
    const QDir dir(plan_.directory());
    const QString backups =
        plan_.writesInPlace()
            ? QStringLiteral("残せません。") + hibi::noBackupsHereText(plan_.ledgerFileName())
            : QDir::toNativeSeparators(plan_.backups().folderPath());
    MessageBox::show(this, QStringLiteral("ヌピカ貯めよう！について"),
                     QStringLiteral("ヌピカ貯めよう！ バージョン %1\nMIT ライセンス\n\n"
                                    "台帳ファイル: %2\n目標ファイル: %3\nバックアップ: %4")
                         .arg(QStringLiteral(HIBI_VERSION),
                              QDir::toNativeSeparators(dir.filePath(plan_.ledgerFileName())),
                              QDir::toNativeSeparators(
                                  dir.filePath(hibi::GoalFile(plan_.directory()).fileName())),
                              backups),
                     MessageBox::Icon::Information);
}

void fraMain::mnuProgress_Click() {
    // Made on first use, so that start-up does not pay for it.
    if (!progress_) {
        progress_ = new frmProgress(this);
    }
    progress_->refresh(plan_, plan_.loadedOn());
    progress_->show();
    progress_->raise();
    progress_->activateWindow();
}

void fraMain::refreshProgress() {
    if (progress_) {
        progress_->refresh(plan_, plan_.loadedOn());
    }
}

void fraMain::mnuManual_Click() {
    ManualWindow::show(this);
}

bool fraMain::isMenuShortcut(const QKeyEvent& key) const {
    const QKeySequence pressed(key.keyCombination());
    for (const QAction* action : menuBar_->findChildren<QAction*>()) {
        if (!action->shortcut().isEmpty() &&
            action->shortcut().matches(pressed) == QKeySequence::ExactMatch) {
            return true;
        }
    }
    return false;
}

}  // namespace hibi
