#include "main_window/fra_main.h"

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QToolButton>
#include <memory>
#include <stdexcept>

#include "goal/goal_file.h"
#include "goal/goal_rules.h"
#include "grid/flex_grid.h"
#include "help/help_viewer.h"
#include "ledger/schedule.h"
#include "ledger/text_formats.h"
#include "schedule_window/frm_sub.h"
#include "ui_common/clock.h"
#include "ui_common/layout.h"
#include "ui_common/message_box.h"

using hibi::Amount;
using hibi::Integer;
using hibi::MessageBox;
using hibi::twipsRect;

namespace {

const QColor kIvory(0xFF, 0xFF, 0xF0);
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kMaroon(0x80, 0x00, 0x00);

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

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, const QRect& geometry,
                  const QFont& font, Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(font);
    label->setAlignment(alignment);
    return label;
}

void makeBordered(QLabel* label) {
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    label->setLineWidth(1);
}

QToolButton* makePictureButton(QWidget* parent, const QString& name, const QString& caption,
                               const QString& icon, const QString& tooltip, int left) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(QIcon(icon));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setToolTip(tooltip);
    button->setAccessibleName(caption);
    button->setAccessibleDescription(tooltip);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setFont(hibi::gothicFont(hibi::proportionalGothic(), 12));
    button->setGeometry(twipsRect(left, 75, 840, 990));
    return button;
}

}  // namespace

// The loaded records as the history grid shows them.
struct fraMain::LoadedHistory {
    QList<hibi::LedgerRecord> records;
    QList<Amount> totals;

    QString cellText(int row, int col) const {
        const hibi::LedgerRecord& record = records[row - 1];
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
                return row - 1 < totals.size() ? hibi::moneyText(totals[row - 1]) : QString();
            default:
                return QString();
        }
    }
};

fraMain::fraMain(hibi::Clock& clock, QString dataDirectory, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      clock_(clock),
      dataDirectory_(std::move(dataDirectory)),
      helpViewer_(new HelpViewer(this)) {
    setObjectName(QStringLiteral("fraMain"));
    setWindowTitle(QStringLiteral("ヌピカ貯めよう！"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.png")));
    setFixedSize(631, 452);
    buildControls();
}

fraMain::~fraMain() = default;

QString fraMain::directory() const {
    return dataDirectory_.isEmpty() ? QDir::currentPath() : dataDirectory_;
}

void fraMain::buildControls() {
    const QString pGothic = hibi::proportionalGothic();
    const QFont heading = hibi::gothicFont(pGothic, 21);
    const QFont fixedValue = hibi::gothicFont(hibi::fixedGothic(), 21);
    const QFont status = hibi::gothicFont(pGothic, 15);
    const QFont amount = hibi::gothicFont(pGothic, 21, true);

    // Top strip.
    Image2_ = makeLabel(this, QStringLiteral("Image2"), QString(), twipsRect(150, 70, 4680, 1035),
                        QFont(), Qt::AlignLeft | Qt::AlignTop);
    Image2_->setPixmap(QPixmap(QStringLiteral(":/images/title.png")));
    Image2_->setAccessibleName(QStringLiteral("ヌピカ貯めよう！"));

    cmdEveryHozon_ = makePictureButton(
        this, QStringLiteral("cmdEveryHozon"), QStringLiteral("入金"),
        QStringLiteral(":/images/app_icon.png"), QStringLiteral("指定通り貯金します"), 5175);
    cmdEveryClr_ = makePictureButton(this, QStringLiteral("cmdEveryClr"), QStringLiteral("クリア"),
                                     QStringLiteral(":/images/icon_reset.png"),
                                     QStringLiteral("ギブアップして最初から始めます"), 6000);
    cmdHelp_ = makePictureButton(this, QStringLiteral("cmdHelp"), QStringLiteral("ヘルプ"),
                                 QStringLiteral(":/images/icon_help.png"),
                                 QStringLiteral("ヘルプファイルを開きます"), 6825);
    cmdsyoukai_ =
        makePictureButton(this, QStringLiteral("cmdsyoukai"), QStringLiteral("ウェクサル"),
                          QStringLiteral(":/images/icon_companion.png"),
                          QStringLiteral("ヘルプファイルを開きます"), 7650);
    cmdEnd_ = makePictureButton(this, QStringLiteral("cmdEnd"), QStringLiteral("終了"),
                                QStringLiteral(":/images/icon_exit.png"),
                                QStringLiteral("プログラムを終了します"), 8475);
    connect(cmdEveryHozon_, &QToolButton::clicked, this, &fraMain::cmdEveryHozon_Click);
    connect(cmdEveryClr_, &QToolButton::clicked, this, &fraMain::cmdEveryClr_Click);
    connect(cmdHelp_, &QToolButton::clicked, this, &fraMain::cmdHelp_Click);
    connect(cmdsyoukai_, &QToolButton::clicked, this, &fraMain::cmdsyoukai_Click);
    connect(cmdEnd_, &QToolButton::clicked, this, &fraMain::cmdEnd_Click);

    // Both strokes of the separator: (90, 1185) and (90, 1200) to x 9380.
    Line1_ = new hibi::EtchedLine(this);
    Line1_->setObjectName(QStringLiteral("Line1"));
    Line1_->setGeometry(hibi::twipsToPixels(90), hibi::twipsToPixels(1185),
                        hibi::twipsToPixels(9380) - hibi::twipsToPixels(90) + 1, 2);
    Line1_->setAccessibleName(QStringLiteral("区切り線"));

    // History.
    msgEvery_ = new FlexGrid(this);
    msgEvery_->setObjectName(QStringLiteral("msgEvery"));
    msgEvery_->setGeometry(twipsRect(75, 1350, 6810, 5355));
    msgEvery_->setFont(hibi::gothicFont(hibi::tableGothic(), 12));
    msgEvery_->setCols(5);
    msgEvery_->setFixedRows(1);
    msgEvery_->setFixedCols(1);
    msgEvery_->setAccessibleName(QStringLiteral("入金の履歴"));

    // Headings and values.
    const Qt::Alignment centred = Qt::AlignCenter;
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    struct Heading {
        int index;
        const char16_t* text;
        int top;
        QColor background;
    };
    for (const Heading& h :
         {Heading{5, u"日数", 1350, kNavy}, Heading{4, u"合計", 1725, kNavy},
          Heading{1, u"目標", 2250, kMaroon}, Heading{2, u"金額", 2625, kMaroon}}) {
        QLabel* label =
            makeLabel(this, QStringLiteral("Label1_%1").arg(h.index), QString::fromUtf16(h.text),
                      twipsRect(6975, h.top, 915, 390), heading, centred);
        hibi::setColours(label, Qt::white, h.background);
        makeBordered(label);
        Label1_[h.index] = label;
    }
    Label1_[1]->setToolTip(QStringLiteral("目標日数を入れてＥｎｔｅｒキーを押してください"));

    lblkeika_ = makeLabel(this, QStringLiteral("lblkeika"), QStringLiteral("Label1"),
                          twipsRect(7875, 1350, 1440, 390), fixedValue, right);
    lblEvery_zen_ = makeLabel(this, QStringLiteral("lblEvery_zen"), QStringLiteral("Label1"),
                              twipsRect(7875, 1725, 1440, 390), fixedValue, right);
    lblSetKingaku_ = makeLabel(this, QStringLiteral("lblSetKingaku"), QStringLiteral("Label2"),
                               twipsRect(7875, 2625, 1440, 390), heading, right);
    for (QLabel* value : {lblkeika_, lblEvery_zen_}) {
        hibi::setColours(value, Qt::black, kIvory);
        makeBordered(value);
    }
    hibi::setColours(lblSetKingaku_, palette().color(QPalette::WindowText), kIvory);
    makeBordered(lblSetKingaku_);

    txtSetNissuu_ = new QLineEdit(QStringLiteral("Text1"), this);
    txtSetNissuu_->setObjectName(QStringLiteral("txtSetNissuu"));
    txtSetNissuu_->setGeometry(twipsRect(7875, 2250, 1440, 360));
    txtSetNissuu_->setFont(heading);
    txtSetNissuu_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtSetNissuu_->setAccessibleName(QStringLiteral("目標日数"));
    txtSetNissuu_->setAccessibleDescription(Label1_[1]->toolTip());
    txtSetNissuu_->installEventFilter(this);

    // Status panel: the ivory panel behind the sentences.
    Shape1_ = new hibi::RoundedPanel(this);
    Shape1_->setObjectName(QStringLiteral("Shape1"));
    Shape1_->setGeometry(twipsRect(6975, 3150, 2385, 3540));
    Shape1_->setAccessibleName(QStringLiteral("今日の入金"));

    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    struct StatusLine {
        int index;
        const char16_t* text;
        int leftTwips, top, width, height;
        Qt::Alignment alignment;
    };
    for (const StatusLine& s : {StatusLine{0, u"本日の入金予定は", 7200, 3375, 1890, 315, left},
                                StatusLine{1, u"です。", 8700, 3750, 615, 240, left},
                                StatusLine{2, u"30日からの滞納金が", 7005, 4200, 2190, 315, right},
                                StatusLine{3, u"です。", 8700, 4575, 615, 240, left},
                                StatusLine{4, u"計", 7425, 4875, 315, 315, left},
                                StatusLine{5, u"です。", 8700, 5250, 615, 240, left}}) {
        lblCmnt1_[s.index] =
            makeLabel(this, QStringLiteral("lblCmnt1_%1").arg(s.index), QString::fromUtf16(s.text),
                      twipsRect(s.leftTwips, s.top, s.width, s.height), status, s.alignment);
    }
    lblEvery_Kingaku_ = makeLabel(this, QStringLiteral("lblEvery_Kingaku"), QStringLiteral("365円"),
                                  twipsRect(7275, 3675, 1365, 315), amount, right);
    hibi::setTextColour(lblEvery_Kingaku_, QColor(0x00, 0x00, 0xFF));
    lblEvery_Tainou_ = makeLabel(this, QStringLiteral("lblEvery_Tainou"), QStringLiteral("365円"),
                                 twipsRect(7275, 4500, 1365, 315), amount, right);
    hibi::setTextColour(lblEvery_Tainou_, QColor(0xFF, 0x00, 0x00));
    lblEvery_Goukei_ = makeLabel(this, QStringLiteral("lblEvery_Goukei"), QStringLiteral("23065円"),
                                 twipsRect(7350, 5175, 1290, 315), amount, right);
    hibi::setTextColour(lblEvery_Goukei_, QColor(0x00, 0xC0, 0x00));

    Image1_ = makeLabel(this, QStringLiteral("Image1"), QString(), twipsRect(8250, 5625, 960, 960),
                        QFont(), Qt::AlignLeft | Qt::AlignTop);
    Image1_->setPixmap(QPixmap(QStringLiteral(":/images/panel.png")));
    Image1_->setAccessibleName(QStringLiteral("貯金箱"));
    Shape1_->lower();

    // Keyboard: buttons, then the history, then the goal box.
    setTabOrder(cmdEveryHozon_, cmdEveryClr_);
    setTabOrder(cmdEveryClr_, cmdHelp_);
    setTabOrder(cmdHelp_, cmdsyoukai_);
    setTabOrder(cmdsyoukai_, cmdEnd_);
    setTabOrder(cmdEnd_, msgEvery_);
    setTabOrder(msgEvery_, txtSetNissuu_);
}

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
    // The first control of the tab order that can take the focus has it.
    (cmdEveryHozon_->isEnabled() ? cmdEveryHozon_ : cmdEveryClr_)->setFocus();
}

// --- History and schedule ---------------------------------------------------

void fraMain::InitEveryGrid() {
    FlexGrid& grid = *msgEvery_;
    grid.setFontSizePoints(14);
    grid.setRows(1);
    grid.setRow(0);
    const QStringList headers{QStringLiteral("回"), QStringLiteral("日付"), QStringLiteral("時間"),
                              QStringLiteral("入金"), QStringLiteral("累積")};
    for (int c = 0; c < headers.size(); ++c) {
        grid.setCol(c);
        grid.setText(headers[c]);
    }
    const int widths[] = {650, 2300, 1300, 950, 1260};
    for (int c = 0; c < 5; ++c) {
        grid.setColWidthTwips(c, widths[c]);
    }
    for (int c = 0; c < 5; ++c) {
        grid.setFixedAlignment(c, 4);
    }
    grid.setColAlignment(1, 4);
    grid.setColAlignment(2, 4);
    grid.setColAlignment(3, 7);
    grid.setColAlignment(4, 7);
}

void fraMain::LoadEvery() {
    state_.curRuikei = Amount();
    state_.curTainouKei = Amount();
    state_.intKeika = Integer();
    state_.intKeikaHyouji = Integer();
    depositBlock_ = DepositBlock::None;

    const hibi::LedgerFile ledger(directory());
    hibi::LedgerSnapshot snapshot = ledger.load();
    if (!snapshot.existed && !snapshot.problem) {
        if (auto problem = ledger.createIfMissing()) {
            pendingMessages_.append(
                QStringLiteral("台帳ファイル「%1」を作成できませんでした。\n理由: %2")
                    .arg(problem->fileName, problem->reason));
        }
    }
    if (snapshot.problem) {
        depositBlock_ = DepositBlock::LedgerUnreadable;
        if (snapshot.problem->kind == hibi::LedgerFileProblem::Kind::AmbiguousName) {
            pendingMessages_.append(
                QStringLiteral("台帳ファイルが複数あります（%1）。\nどれを使うか決められないため、"
                               "どのファイルも変更していません。使わないファイルを別の場所へ移して"
                               "から、起動し直してください。")
                    .arg(snapshot.problem->names.join(QStringLiteral("、"))));
        } else {
            pendingMessages_.append(
                QStringLiteral("台帳ファイル「%1」を読み込めませんでした。\n理由: %2\n\n"
                               "ファイルは変更していません。")
                    .arg(snapshot.problem->fileName, snapshot.problem->reason));
        }
    } else if (snapshot.parsed.error) {
        depositBlock_ = DepositBlock::LedgerUnreadable;
        pendingMessages_.append(
            QStringLiteral("台帳ファイル「%1」の %2 行目を読み込めませんでした（%3）。\n\n"
                           "ファイルは変更していません。読み込めた %4 件の記録だけを表示します。"
                           "入金するには、ファイルを直してから起動し直すか、「クリア」で最初から"
                           "やり直してください。")
                .arg(snapshot.fileName)
                .arg(snapshot.parsed.error->line)
                .arg(snapshot.parsed.error->reason())
                .arg(snapshot.parsed.records.size()));
    }
    loadedContent_ = snapshot.content;
    const QDate today = clock_.today();
    loadedOn_ = today;
    const QList<hibi::LedgerRecord>& records = snapshot.parsed.records;

    hibi::Schedule schedule;
    bool computed = true;
    try {
        schedule = hibi::computeSchedule(records, today);
    } catch (const std::invalid_argument&) {
        // Reading stopped at a bad line and the last record it kept has no
        // date to count to; the ledger is already reported as unreadable.
        computed = false;
    } catch (const hibi::OverflowError&) {
        computed = false;
        if (depositBlock_ == DepositBlock::None) {
            depositBlock_ = DepositBlock::OutOfRange;
            pendingMessages_.append(
                QStringLiteral(
                    "日数か金額が扱える範囲を超えたため、今日の入金額を計算できません。\n"
                    "台帳ファイル「%1」は変更していません。")
                    .arg(snapshot.fileName));
        }
    }

    // One row per record, with the running total. The rows take their text
    // from the records when they are drawn, so a long history costs nothing
    // until it is seen.
    FlexGrid& grid = *msgEvery_;
    auto history = std::make_shared<LoadedHistory>();
    history->records = records;
    if (computed) {
        history->totals = schedule.runningTotals;
    } else {
        Amount total;
        try {
            for (const hibi::LedgerRecord& record : records) {
                total += record.amount;
                history->totals.append(total);
            }
        } catch (const hibi::OverflowError&) {
            // Totals past the first that no longer fits are left blank.
        }
    }
    const int count = static_cast<int>(records.size());
    grid.setRows(count + 1);
    grid.setRowSource(1, count,
                      [history](int row, int col) { return history->cellText(row, col); });
    if (grid.rows() > 1) {
        grid.setTopRow(grid.rows() - 1);
    }

    if (computed) {
        state_.curRuikei = schedule.curRuikei;
        if (schedule.hasRecords) {
            state_.dtKaishi = schedule.dtKaishi;
            state_.dtZenkai = schedule.dtZenkai;
        }
        state_.intKeika = schedule.intKeika;
        state_.intKeikaHyouji = schedule.intKeikaHyouji;
        state_.curTainouKei = schedule.curTainouKei;
        state_.curKingaku = schedule.curKingaku;
        state_.curTainou = schedule.curTainou;
        if (depositBlock_ == DepositBlock::None && schedule.clockBehind(today)) {
            depositBlock_ = DepositBlock::ClockBehind;
            pendingMessages_.append(
                QStringLiteral(
                    "コンピューターの日付（%1）が、最後の入金日（%2）より前になっています。\n\n"
                    "日付の設定を確かめてから起動し直してください。それまでは入金できません。")
                    .arg(hibi::dateText(today), hibi::dateText(schedule.dtZenkai)));
        }
    } else {
        state_.curKingaku = Amount();
        state_.curTainou = Amount();
    }
    ShowKeika();
}

void fraMain::ShowKeika() {
    try {
        lblkeika_->setText(hibi::dayLabel(state_.intKeikaHyouji + Integer::of(1)));
    } catch (const hibi::OverflowError&) {
        lblkeika_->setText(QStringLiteral("―"));
    }
    lblEvery_zen_->setText(hibi::moneyText(state_.curRuikei));
}

void fraMain::AddEveryRow(const hibi::LedgerRecord& record) {
    FlexGrid& grid = *msgEvery_;
    grid.setRows(grid.rows() + 1);
    grid.setRow(grid.rows() - 1);
    grid.setCol(0);
    grid.setText(QString::number(grid.row()));
    grid.setCol(1);
    grid.setText(record.dateText());
    grid.setCol(2);
    grid.setText(record.timeText());
    grid.setCol(3);
    grid.setText(hibi::moneyText(record.amount));
    state_.curRuikei = state_.curRuikei + record.amount;
    grid.setCol(4);
    grid.setText(hibi::moneyText(state_.curRuikei));
    grid.setTopRow(grid.rows() - 1);
    ShowKeika();
}

bool fraMain::SaveEvery(const hibi::LedgerRecord& record) {
    QByteArray written;
    const auto problem = hibi::LedgerFile(directory()).append(record, loadedContent_, &written);
    if (!problem) {
        loadedContent_ = written;
        return true;
    }
    switch (problem->kind) {
        case hibi::LedgerFileProblem::Kind::ChangedOnDisk:
            reloadForStaleAmount(
                QStringLiteral(
                    "台帳ファイル「%1」がほかで変更されていたため、読み込み直して今日の"
                    "入金額を計算し直しました。\n\n入金はまだ記録していません。金額を確かめて"
                    "から、もう一度「入金」を押してください。")
                    .arg(problem->fileName));
            break;
        default:
            showError(QStringLiteral(
                          "入金を記録できませんでした。\n台帳ファイル「%1」に書き込めません。\n"
                          "理由: %2\n\n記録は変更していません。もう一度お試しください。")
                          .arg(problem->fileName, problem->reason));
            break;
    }
    return false;
}

// --- Status panel -----------------------------------------------------------

void fraMain::ShowEveryStatus(bool mayShowSchedule) {
    if (depositBlock_ != DepositBlock::None) {
        // Nothing is due while the history or the clock cannot be trusted.
        HideEveryStatus();
        cmdEveryHozon_->setEnabled(false);
        return;
    }
    const Amount one = Amount::fromYen(1);
    if (state_.curKingaku == one) {
        if (msgEvery_->rows() != 1) {
            ShowNyukinZumi();
            return;
        }
        HideEveryStatus();
        if (mayShowSchedule) {
            frmSub schedule;
            schedule.exec();
        }
    }
    HideEveryStatus();
    const Amount zero;
    if (state_.curTainou == zero && state_.curKingaku > zero) {
        lblCmnt1_[0]->setVisible(true);
        lblCmnt1_[1]->setVisible(true);
        lblEvery_Kingaku_->setVisible(true);
        lblCmnt1_[0]->setText(kPlannedToday);
        lblEvery_Kingaku_->setText(hibi::yenText(state_.curKingaku));
    }
    if (state_.curTainou != zero && state_.curKingaku != zero) {
        for (QLabel* label : lblCmnt1_) {
            label->setVisible(true);
        }
        lblEvery_Kingaku_->setVisible(true);
        lblEvery_Tainou_->setVisible(true);
        lblEvery_Goukei_->setVisible(true);
        lblCmnt1_[0]->setText(kPlannedToday);
        lblEvery_Kingaku_->setText(hibi::yenText(state_.curKingaku));
        lblCmnt1_[2]->setText(hibi::dayOfMonthText(state_.dtZenkai.addDays(1)) +
                              QStringLiteral("からの滞納金が"));
        lblEvery_Tainou_->setText(hibi::yenText(state_.curTainou));
        lblEvery_Goukei_->setText(hibi::yenText(state_.curKingaku + state_.curTainou));
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

// --- Goal planner -----------------------------------------------------------

void fraMain::LoadNissuu() {
    state_.intNissuu = hibi::GoalFile(directory()).load();
    txtSetNissuu_->setText(QString::number(state_.intNissuu.value()));
}

void fraMain::CalcSetKingaku() {
    const auto days = hibi::goalDaysFromBoxText(txtSetNissuu_->text());
    if (!days) {
        return;  // beyond what the day counter can run up to: left as it was
    }
    lblSetKingaku_->setText(hibi::moneyText(hibi::goalAmount(*days)));
}

void fraMain::txtSetNissuu_KeyPress(int& keyAscii) {
    if (keyAscii != 13) {
        return;
    }
    const auto entry = hibi::goalFromTypedText(txtSetNissuu_->text());
    if (!entry) {
        return;  // empty, not a number, or out of range: nothing changes
    }
    CalcSetKingaku();
    if (auto error = hibi::GoalFile(directory()).save(entry->value)) {
        showError(*error);
    }
}

bool fraMain::eventFilter(QObject* watched, QEvent* event) {
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
    if (!cmdEveryHozon_->isEnabled() || depositBlock_ != DepositBlock::None) {
        return;  // a second press, or a ledger that cannot take a deposit
    }
    const QDateTime now = clock_.now();
    if (now.date() != loadedOn_) {
        reloadForStaleAmount(
            QStringLiteral("日付が変わったため、今日の入金額を計算し直しました。\n\n"
                           "入金はまだ記録していません。金額を確かめてから、もう一度「入金」を"
                           "押してください。"));
        return;
    }
    hibi::LedgerRecord record;
    try {
        record = {hibi::dateText(now.date()), hibi::timeText(now.time()),
                  state_.curKingaku + state_.curTainou};
        (void)(state_.curRuikei + record.amount);
    } catch (const hibi::OverflowError&) {
        showError(QStringLiteral("金額が扱える範囲を超えたため、入金を記録できません。"));
        return;
    }
    // Record first, show second: the row appears only once the ledger has it.
    if (!SaveEvery(record)) {
        return;
    }
    AddEveryRow(record);
    ShowNyukinZumi();
}

void fraMain::cmdEveryClr_Click() {
    const QString prompt =
        QStringLiteral("現在でギブアップして、また１円から始めますか？") + QStringLiteral("\r\n");
    if (MessageBox::show(this, QStringLiteral("削除確認"), prompt, MessageBox::Icon::None,
                         MessageBox::Buttons::OkCancel) != MessageBox::Answer::Ok) {
        return;
    }
    if (auto problem = hibi::LedgerFile(directory()).empty()) {
        showError(QStringLiteral("台帳ファイル「%1」を空にできませんでした。\n理由: %2\n\n"
                                 "記録は変更していません。")
                      .arg(problem->fileName, problem->reason));
        return;
    }
    InitEveryGrid();
    LoadEvery();
    lblkeika_->setText(QStringLiteral("1日"));
    lblEvery_zen_->setText(hibi::moneyText(Amount()));
    cmdEveryHozon_->setEnabled(true);
    // The new plan's first day, without the introduction.
    ShowEveryStatus(false);
    showPendingMessages();
}

void fraMain::cmdHelp_Click() {
    state_.strHelp = QStringLiteral("zkHelp.chm");
    helpViewer_->showHelp(this, QDir(directory()).filePath(state_.strHelp));
}

void fraMain::cmdsyoukai_Click() {
    MessageBox::show(this, QStringLiteral("ヌピカ貯金！ウェクサルのご紹介"), kCompanionNote,
                     MessageBox::Icon::Information);
    state_.strHelp = QStringLiteral("WexalHelp.chm");
    helpViewer_->showHelp(this, QDir(directory()).filePath(state_.strHelp));
}

void fraMain::cmdEnd_Click() {
    state_.strHelp = QStringLiteral("WexalHelp.chm");
    helpViewer_->closeAll();
    emit exitRequested();
    close();
}

// --- Helpers ----------------------------------------------------------------

void fraMain::reloadForStaleAmount(const QString& why) {
    InitEveryGrid();
    LoadEvery();
    cmdEveryHozon_->setEnabled(true);
    ShowEveryStatus(false);
    showError(why);
    showPendingMessages();
}

void fraMain::showPendingMessages() {
    while (!pendingMessages_.isEmpty()) {
        showError(pendingMessages_.takeFirst());
    }
}

void fraMain::showError(const QString& text) {
    MessageBox::show(this, hibi::programTitle(), text, MessageBox::Icon::Warning);
}
