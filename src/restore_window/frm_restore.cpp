#include "restore_window/frm_restore.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ledger/text_formats.h"
#include "ui_common/layout.h"
#include "ui_common/message_box.h"

namespace hibi {

namespace {

QString reasonText(hibi::BackupReason reason) {
    switch (reason) {
        case hibi::BackupReason::Daily:
            return QStringLiteral("その日最初の入金の前");
        case hibi::BackupReason::BeforeReset:
            return QStringLiteral("クリアの前");
        case hibi::BackupReason::BeforeRestore:
            return QStringLiteral("復元の前");
        case hibi::BackupReason::BeforeConversion:
            return QStringLiteral("変換の前");
        case hibi::BackupReason::BeforeTakeBack:
            return QStringLiteral("入金の取り消しの前");
    }
    return QString();
}

}  // namespace

QString frmRestore::lineFor(const hibi::BackupSummary& summary) {
    const QString made = hibi::dateText(summary.entry.made.date()) + QLatin1Char(' ') +
                         hibi::timeText(summary.entry.made.time()) +
                         QStringLiteral("（%1）").arg(reasonText(summary.entry.reason));
    if (!summary.readable) {
        return made + QStringLiteral("　読み込めないため戻せません");
    }
    if (summary.records == 0) {
        return made + QStringLiteral("　記録なし");
    }
    return made + QStringLiteral("　%1件　最後の入金 %2　合計 %3%4")
                      .arg(summary.records)
                      .arg(hibi::dateText(summary.lastDate), hibi::moneyText(summary.total),
                           summary.possiblyCut ? QStringLiteral("　途中で切れている可能性あり")
                                               : QString());
}

frmRestore::frmRestore(const hibi::Backups& backups, QWidget* parent)
    : QDialog(parent), summaries_(hibi::backupSummaries(backups)) {
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(QStringLiteral("バックアップから戻す"));
    setFont(hibi::gothicFont(hibi::proportionalGothic(), 15));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(
        summaries_.isEmpty()
            ? QStringLiteral("フォルダー「%1」にバックアップがありません。")
                  .arg(hibi::Backups::folderName())
            : QStringLiteral(
                  "戻すバックアップを選んでください（新しい順）。今の台帳ファイルも、戻す前に"
                  "バックアップとして残します。"),
        this);
    caption->setWordWrap(true);
    layout->addWidget(caption);

    lstBackup_ = new QListWidget(this);
    lstBackup_->setObjectName(QStringLiteral("lstBackup"));
    lstBackup_->setAccessibleName(QStringLiteral("バックアップの一覧"));
    for (const hibi::BackupSummary& summary : summaries_) {
        auto* item = new QListWidgetItem(lineFor(summary), lstBackup_);
        if (!summary.readable) {
            item->setFlags(item->flags() & ~(Qt::ItemIsEnabled | Qt::ItemIsSelectable));
        }
    }
    for (int row = 0; row < lstBackup_->count(); ++row) {
        if (lstBackup_->item(row)->flags() & Qt::ItemIsEnabled) {
            lstBackup_->setCurrentRow(row);  // the newest copy that can be restored
            break;
        }
    }
    layout->addWidget(lstBackup_);

    auto* buttons = new QDialogButtonBox(this);
    cmdRestore_ = buttons->addButton(QStringLiteral("戻す"), QDialogButtonBox::AcceptRole);
    cmdRestore_->setObjectName(QStringLiteral("cmdRestore"));
    cmdRestore_->setEnabled(lstBackup_->currentRow() >= 0);
    cmdRestore_->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &frmRestore::lstBackup_Activated);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(lstBackup_, &QListWidget::itemActivated, this, &frmRestore::lstBackup_Activated);
    resize(820, 360);
    lstBackup_->setFocus();
}

void frmRestore::lstBackup_Activated() {
    const int row = lstBackup_->currentRow();
    if (row < 0 || !summaries_[row].readable) {
        return;
    }
    const QString question = QStringLiteral(
                                 "台帳ファイルを次のバックアップの内容に戻しますか？\n\n%1\n\n"
                                 "今の台帳ファイルは、戻す前にバックアップとして残します。")
                                 .arg(lineFor(summaries_[row]));
    if (hibi::MessageBox::show(
            this, QStringLiteral("復元の確認"), question, hibi::MessageBox::Icon::Warning,
            hibi::MessageBox::Buttons::OkCancel) != hibi::MessageBox::Answer::Ok) {
        return;
    }
    // The last line lacks its line end: its amount may have lost digits.
    if (summaries_[row].possiblyCut &&
        hibi::MessageBox::show(
            this, QStringLiteral("復元の確認"),
            QStringLiteral("このバックアップは最後の行に改行がなく、途中で切れている可能性が"
                           "あります（最後の金額の桁が欠けているかもしれません）。\n\n"
                           "最後の記録を確かめずに、このまま戻しますか？"),
            hibi::MessageBox::Icon::Warning,
            hibi::MessageBox::Buttons::OkCancel) != hibi::MessageBox::Answer::Ok) {
        return;
    }
    chosen_ = summaries_[row].entry.fileName;
    accept();
}

}  // namespace hibi
