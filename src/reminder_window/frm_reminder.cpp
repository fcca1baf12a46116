#include "reminder_window/frm_reminder.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "ui_common/layout.h"

namespace hibi {

frmReminder::frmReminder(const hibi::reminder::Setup& setup, const QString& folder, QWidget* parent)
    : QDialog(parent), setup_(setup) {
    setObjectName(QStringLiteral("frmReminder"));
    setWindowTitle(QStringLiteral("毎日のお知らせ"));
    setFont(hibi::gothicFont(hibi::proportionalGothic(), 15));
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(
        QStringLiteral("その日の入金がまだのとき、決まった時刻にデスクトップへお知らせします。"
                       "お知らせの「開く」でこのプログラムが起動します。"));
    caption->setWordWrap(true);
    layout->addWidget(caption);

    auto* form = new QFormLayout;
    chkRemind_ = new QCheckBox(QStringLiteral("毎日お知らせする(&R)"), this);
    chkRemind_->setObjectName(QStringLiteral("chkRemind"));
    chkRemind_->setAccessibleName(QStringLiteral("毎日お知らせする"));
    chkRemind_->setChecked(setup.on && setup.forThisFolder);
    form->addRow(chkRemind_);

    tmeRemind_ = new QTimeEdit(setup.on && setup.time.isValid() ? setup.time : QTime(20, 0), this);
    tmeRemind_->setObjectName(QStringLiteral("tmeRemind"));
    tmeRemind_->setDisplayFormat(QStringLiteral("HH:mm"));
    tmeRemind_->setAccessibleName(QStringLiteral("お知らせの時刻"));
    auto* timeLabel = new QLabel(QStringLiteral("時刻(&T):"), this);
    timeLabel->setBuddy(tmeRemind_);
    form->addRow(timeLabel, tmeRemind_);

    auto* lblFolder = new QLabel(QDir::toNativeSeparators(folder), this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setAccessibleName(QStringLiteral("見守る台帳ファイルのフォルダー"));
    lblFolder->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lblFolder->setWordWrap(true);
    form->addRow(QStringLiteral("台帳ファイルのフォルダー:"), lblFolder);
    layout->addLayout(form);

    lblNote_ = new QLabel(this);
    lblNote_->setObjectName(QStringLiteral("lblNote"));
    lblNote_->setWordWrap(true);
    layout->addWidget(lblNote_);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(chkRemind_, &QCheckBox::toggled, this, &frmReminder::updateNote);
    updateNote();
    resize(560, sizeHint().height());
    chkRemind_->setFocus();
}

bool frmReminder::turnedOn() const {
    return chkRemind_->isChecked();
}

QTime frmReminder::time() const {
    return tmeRemind_->time();
}

// What OK will do, beside the settings.
void frmReminder::updateNote() {
    tmeRemind_->setEnabled(chkRemind_->isChecked());
    QString note;
    if (setup_.on && !setup_.forThisFolder) {
        note = chkRemind_->isChecked()
                   ? QStringLiteral(
                         "いまは別のフォルダーの台帳ファイルについてお知らせしています。"
                         "OK でこのフォルダーに切り替えます。")
                   : QStringLiteral(
                         "いまは別のフォルダーの台帳ファイルについてお知らせしています。"
                         "OK でお知らせをやめます。");
    } else if (setup_.atLogin) {
        note = QStringLiteral(
            "この環境では時刻を決めたお知らせができないため、"
            "ログインしたときにお知らせします。");
    }
    if (chkRemind_->isChecked()) {
        note += (note.isEmpty() ? QString() : QStringLiteral("\n")) +
                QStringLiteral("設定は %1 に保存します。")
                    .arg(QDir::toNativeSeparators(hibi::reminder::setupLocation()));
    }
    lblNote_->setText(note);
    lblNote_->setAccessibleName(note);
}

}  // namespace hibi
