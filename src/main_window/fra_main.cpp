#include "main_window/fra_main.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QToolButton>
#include <algorithm>

#include "grid/flex_grid.h"
#include "help/help_viewer.h"
#include "ledger/text_formats.h"
#include "main_window/plan_messages.h"
#include "schedule_window/frm_sub.h"
#include "ui_common/clock.h"
#include "ui_common/layout.h"
#include "ui_common/message_box.h"

namespace hibi {

using hibi::Amount;
using hibi::MessageBox;
using hibi::PlanStatus;

namespace {

const QString kDepositedToday = QStringLiteral("本日入金済みです。");
const QString kPlannedToday = QStringLiteral("本日の入金予定は");

// The companion program's note, line by line.
const QString kCompanionNote =
    QStringLiteral(
        "貯金の成果をもっと詳しく確かめたい方は、「ヌピカ貯金！ウェクサル」をぜひお試しください"
        "！") +
    QStringLiteral("\r\n\r\n") +
    QStringLiteral(
        "「ヌピカ貯金！ウェクサル」には、このソフトを含む同じシリーズの4つの貯金ソフトが入っていま"
        "す。") +
    QStringLiteral("\r\n") +
    QStringLiteral("それぞれの貯金データを利用して、グラフや一覧で貯蓄状況を表示できる機能があり") +
    QStringLiteral("\r\n") + QStringLiteral("やる気と継続する力をより強力にサポートします。") +
    QStringLiteral("\r\n\r\n") +
    QStringLiteral("どんなことができるソフトなのか、ぜひウェクサルのヘルプをご覧ください。");

// A history cell's text: row number, date, time, amount, running total.
QString historyCellText(const hibi::PlanModel& plan, int row, int col) {
    const hibi::LedgerRecord& record = plan.records()[row - 1];
    switch (col) {
        case 0:
            return hibi::rowNumberText(row);
        case 1:
            return record.dateText();
        case 2:
            return record.timeText();
        case 3:
            return hibi::moneyText(record.amount);
        case 4:
            // Totals past the first that no longer fits are left blank.
            return row - 1 < plan.runningTotals().size()
                       ? hibi::moneyText(plan.runningTotals()[row - 1])
                       : QString();
        default:
            return QString();
    }
}

}  // namespace

fraMain::fraMain(hibi::Clock& clock, QString dataDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                          Qt::WindowCloseButtonHint),
      clock_(clock),
      plan_(std::move(dataDirectory)),
      helpViewer_(new HelpViewer(this)) {
    setObjectName(QStringLiteral("fraMain"));
    setWindowTitle(QStringLiteral("ヌピカ貯めよう！"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.png")));
    buildMenu();
    buildControls();
    // The original window grows by the menu's height. It opens at that size
    // and may be enlarged, never made smaller.
    const int menuHeight = menuBar_->sizeHint().height();
    menuBar_->setGeometry(0, 0, 631, menuHeight);
    designSize_ = QSize(631, 452 + menuHeight);
    setMinimumSize(designSize_);
    resize(designSize_);
    // The panel shows only real values: nothing until the status is decided.
    HideEveryStatus();
    midnightTimer_.setParent(this);
    midnightTimer_.setObjectName(QStringLiteral("dateCheckTimer"));
    midnightTimer_.setSingleShot(true);
    connect(&midnightTimer_, &QTimer::timeout, this, &fraMain::checkDate);
}

fraMain::~fraMain() = default;

void fraMain::Form_Load() {
    InitEveryGrid();
    LoadEvery();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    show();
    LoadNissuu();
    CalcSetKingaku();
    showPendingMessages();
    ShowEveryStatus();
    setFirstFocus();
    updateMenu();
    scheduleMidnightCheck();
}

void fraMain::setFirstFocus() {
    // The first enabled control of the tab order that takes part in keyboard
    // navigation; クリア never does, so that no run of keys can empty the
    // history.
    (cmdEveryHozon_->isEnabled() ? cmdEveryHozon_ : cmdHelp_)->setFocus();
}

// --- History and schedule ---------------------------------------------------

void fraMain::InitEveryGrid() {
    FlexGrid& grid = *msgEvery_;
    grid.setFontSizePoints(14);
    grid.setRows(1);
    grid.setRow(0);
    const QStringList headers{QStringLiteral("回"), QStringLiteral("日付"), QStringLiteral("時間"),
                              QStringLiteral("入金"), QStringLiteral("累積")};
    const int widths[] = {650, 2300, 1300, 950, 1260};
    for (int c = 0; c < headers.size(); ++c) {
        grid.setCol(c);
        grid.setText(headers[c]);
        grid.setColWidthTwips(c, widths[c]);
        grid.setFixedAlignment(c, 4);
    }
    grid.setColAlignment(1, 4);
    grid.setColAlignment(2, 4);
    grid.setColAlignment(3, 7);
    grid.setColAlignment(4, 7);
    // Kept within the grid's width once every column is known: fitted
    // column by column, the font would step down and up again on the way.
    grid.setColumnsWithinWidth(true);
}

void fraMain::LoadEvery() {
    takeNotices(plan_.load(clock_.today()));
    ShowHistory();
}

void fraMain::ShowHistory() {
    // One row per record, with the running total. The rows take their text
    // from the model when they are drawn, so a long history costs nothing
    // until it is seen.
    FlexGrid& grid = *msgEvery_;
    const int count = static_cast<int>(plan_.records().size());
    // Fitted first: a font that steps down for wide figures then changes
    // the height of one row, not of every row of a long history.
    FitHistoryColumns(plan_.records(), plan_.runningTotals());
    grid.setRows(count + 1);
    grid.setRowSource(1, count,
                      [this](int row, int col) { return historyCellText(plan_, row, col); });
    if (grid.rows() > 1) {
        grid.setTopRow(grid.rows() - 1);
    }
    ShowKeika();
}

void fraMain::FitHistoryColumns(const QList<hibi::LedgerRecord>& records,
                                const QList<Amount>& totals) {
    // Every cell whole: the columns take the longest row number, the newest
    // date and time, and the widest amount and total. Money texts grow with
    // their magnitude, so the largest and the most negative values are the
    // widest. The grid keeps them all within its width.
    QList<FlexGrid::ColumnText> widest{
        {0, hibi::rowNumberText(static_cast<int>(plan_.records().size()))}};
    if (!records.isEmpty()) {
        widest.append({1, records.last().dateText()});
        widest.append({2, records.last().timeText()});
    }
    const auto addExtremes = [&widest](int col, const auto& values, const auto& amountOf) {
        if (values.isEmpty()) {
            return;
        }
        Amount low = amountOf(values.first());
        Amount high = low;
        for (const auto& value : values) {
            low = std::min(low, amountOf(value));
            high = std::max(high, amountOf(value));
        }
        widest.append({col, hibi::moneyText(low)});
        widest.append({col, hibi::moneyText(high)});
    };
    addExtremes(3, records, [](const hibi::LedgerRecord& r) { return r.amount; });
    addExtremes(4, totals, [](Amount a) { return a; });
    // At once, so that a font that steps down does so in one step.
    msgEvery_->fitColumnsToTexts(widest);
}

void fraMain::ShowKeika() {
    // A figure the ledger does not hold is left blank.
    const auto day = plan_.shownDayNumber();
    const auto total = plan_.shownTotal();
    hibi::setFittedText(lblkeika_, day ? hibi::dayLabel(*day) : QString());
    hibi::setFittedText(lblEvery_zen_, total ? hibi::moneyText(*total) : QString());
}

void fraMain::AddEveryRow() {
    // The record the model has just taken, written into a new row.
    FlexGrid& grid = *msgEvery_;
    grid.setRows(grid.rows() + 1);
    grid.setRow(grid.rows() - 1);
    for (int col = 0; col < grid.cols(); ++col) {
        grid.setCol(col);
        grid.setText(historyCellText(plan_, grid.row(), col));
    }
    FitHistoryColumns(plan_.records().mid(grid.rows() - 2),
                      plan_.runningTotals().mid(grid.rows() - 2));
    grid.setTopRow(grid.rows() - 1);
    ShowKeika();
}

hibi::DepositOutcome fraMain::SaveEvery() {
    const hibi::DepositOutcome outcome = plan_.deposit(clock_.now());
    switch (outcome.kind) {
        case hibi::DepositOutcome::Kind::Recorded:
        case hibi::DepositOutcome::Kind::NothingDue:
            break;
        case hibi::DepositOutcome::Kind::NewDay:
        case hibi::DepositOutcome::Kind::ChangedOnDisk:
        case hibi::DepositOutcome::Kind::Failed:
            // The model has read the ledger again: the window shows what it holds.
            showReloaded(hibi::depositOutcomeText(outcome), outcome.notices);
            break;
        case hibi::DepositOutcome::Kind::OutOfRange:
            showError(hibi::depositOutcomeText(outcome));
            break;
    }
    return outcome;
}

// --- Status panel -----------------------------------------------------------

void fraMain::ShowEveryStatus(bool mayShowSchedule) {
    const hibi::Schedule& s = plan_.schedule();
    switch (plan_.status()) {
        case PlanStatus::Blocked:
            // Nothing is due while the history or the clock cannot be trusted.
            HideEveryStatus();
            cmdEveryHozon_->setEnabled(false);
            return;
        case PlanStatus::DepositedToday:
            ShowNyukinZumi();
            return;
        case PlanStatus::FirstDay:
            HideEveryStatus();
            if (mayShowSchedule) {
                frmSub schedule;
                schedule.exec();
            }
            [[fallthrough]];
        case PlanStatus::Due:
            HideEveryStatus();
            lblCmnt1_[0]->setVisible(true);
            lblCmnt1_[1]->setVisible(true);
            lblEvery_Kingaku_->setVisible(true);
            lblCmnt1_[0]->setText(kPlannedToday);
            hibi::setFittedText(lblEvery_Kingaku_, hibi::yenText(s.curKingaku));
            return;
        case PlanStatus::DueWithArrears:
            for (QLabel* label : lblCmnt1_) {
                label->setVisible(true);
            }
            lblEvery_Kingaku_->setVisible(true);
            lblEvery_Tainou_->setVisible(true);
            lblEvery_Goukei_->setVisible(true);
            lblCmnt1_[0]->setText(kPlannedToday);
            hibi::setFittedText(lblEvery_Kingaku_, hibi::yenText(s.curKingaku));
            lblCmnt1_[2]->setText(hibi::dayOfMonthText(s.dtZenkai.addDays(1)) +
                                  QStringLiteral("からの滞納金が"));
            hibi::setFittedText(lblEvery_Tainou_, hibi::yenText(s.curTainou));
            hibi::setFittedText(lblEvery_Goukei_, hibi::yenText(s.amountDue));
            return;
    }
}

void fraMain::HideEveryStatus() {
    for (QLabel* label : lblCmnt1_) {
        label->setVisible(false);
    }
    lblEvery_Kingaku_->setVisible(false);
    lblEvery_Tainou_->setVisible(false);
    lblEvery_Goukei_->setVisible(false);
}

void fraMain::ShowNyukinZumi() {
    HideEveryStatus();
    lblCmnt1_[2]->setVisible(true);
    lblCmnt1_[2]->setText(kDepositedToday);
    cmdEveryHozon_->setEnabled(false);
}

bool fraMain::eventFilter(QObject* watched, QEvent* event) {
    // Return or Enter presses the focused picture button.
    if (auto* button = qobject_cast<QToolButton*>(watched);
        button && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    // The menu's shortcuts work in the goal box too, which would otherwise
    // take Ctrl+E for itself.
    if (watched == txtSetNissuu_ && event->type() == QEvent::ShortcutOverride &&
        isMenuShortcut(*static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    // A goal typed but not saved with Return does not stay behind when the
    // focus leaves: the box always shows the goal its amount is for. A menu
    // opened over the box leaves it as it is.
    if (watched == txtSetNissuu_ && event->type() == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
        revertGoalBox();
    }
    if (watched == txtSetNissuu_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        int code = 0;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            code = 13;
        } else if (!key->text().isEmpty()) {
            code = key->text().at(0).unicode();
        }
        if (code != 0) {
            txtSetNissuu_KeyPress(code);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- Buttons ----------------------------------------------------------------

void fraMain::cmdEveryHozon_Click() {
    if (!cmdEveryHozon_->isEnabled()) {
        return;  // a second press
    }
    // Record first, show second: the row appears only once the ledger has it.
    const hibi::DepositOutcome outcome = SaveEvery();
    if (outcome.kind != hibi::DepositOutcome::Kind::Recorded) {
        return;
    }
    AddEveryRow();
    ShowNyukinZumi();
    setFirstFocus();
    refreshProgress();
    if (outcome.backupError) {
        showError(hibi::backupFailureText(*outcome.backupError));
    }
}

void fraMain::cmdEveryClr_Click() {
    const QString prompt =
        QStringLiteral("現在でギブアップして、また１円から始めますか？") + QStringLiteral("\r\n");
    if (MessageBox::show(this, QStringLiteral("削除確認"), prompt, MessageBox::Icon::None,
                         MessageBox::Buttons::OkCancel) != MessageBox::Answer::Ok) {
        return;
    }
    if (!tookNewLedger(plan_.reset(clock_.now()), hibi::resetProblemText)) {
        return;
    }
    // The model has loaded the emptied ledger: the new plan's first day,
    // shown as after any load, without the introduction.
    showReloadedPlan();
    showPendingMessages();
}

void fraMain::cmdHelp_Click() {
    strHelp_ = QStringLiteral("zkHelp.chm");
    // The compiled help beside the ledger where a viewer shows it; else the
    // manual built into the program.
    const QString chm = QDir(plan_.directory()).filePath(strHelp_);
    if (!QFile::exists(chm) || !helpViewer_->showHelp(this, chm)) {
        mnuManual_Click();
    }
}

void fraMain::cmdsyoukai_Click() {
    MessageBox::show(this, QStringLiteral("ヌピカ貯金！ウェクサルのご紹介"), kCompanionNote,
                     MessageBox::Icon::Information);
    strHelp_ = QStringLiteral("WexalHelp.chm");
    helpViewer_->showHelp(this, QDir(plan_.directory()).filePath(strHelp_));
}

void fraMain::cmdEnd_Click() {
    strHelp_ = QStringLiteral("WexalHelp.chm");
    helpViewer_->closeAll();
    emit exitRequested();
    close();
}

void fraMain::closeEvent(QCloseEvent* event) {
    // However the main window is closed, every window of the program closes
    // with it, and so the program ends.
    helpViewer_->closeAll();
    for (QWidget* window : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (window->isWindow()) {
            window->close();
        }
    }
    QWidget::closeEvent(event);
}

void fraMain::showError(const QString& text) {
    MessageBox::show(this, hibi::programTitle(), text, MessageBox::Icon::Warning);
}

}  // namespace hibi
