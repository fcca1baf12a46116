#include "progress_window/progress_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <limits>
#include <memory>

#include "ledger/text_formats.h"
#include "plan/plan_model.h"
#include "plan/progress.h"
#include "progress_window/calendar_widget.h"
#include "progress_window/chart_widget.h"
#include "ui_common/layout.h"

namespace hibi {

namespace {

struct FigureRow {
    const char16_t* caption;  // also the value's accessible name
    int row, column;          // column 2: the whole width
};

// The figures above the calendar and chart, in the order of frmProgress::Figure.
constexpr FigureRow kRows[] = {
    {u"開始日", 0, 0},         {u"今日は", 1, 0},       {u"貯金額", 2, 0},
    {u"計画どおりなら", 3, 0}, {u"入金した日", 4, 0},   {u"入金しなかった日", 5, 0},
    {u"連続記録（今）", 0, 1}, {u"最長連続記録", 1, 1}, {u"計画との差", 2, 1},
    {u"目標", 3, 1},           {u"目標まで", 4, 1},     {u"目標の日", 5, 1},
    {u"次の節目", 6, 2},       {u"達成した節目", 7, 2},
};

const QColor kReachedColour(0x1A, 0x7F, 0x37);

QString daysText(qint64 days) {
    return QString::number(days) + QStringLiteral("日");
}

// Amounts as the program shows them; the largest amount stands for one
// too large to hold.
QString amountText(hibi::Amount amount, bool inRange = true) {
    return inRange && amount.units() != std::numeric_limits<qint64>::max()
               ? hibi::moneyText(amount)
               : QStringLiteral("計算できません");
}

QString milestoneText(const hibi::Milestone& m) {
    return QString::number(m.day) + QStringLiteral("日目 ") + hibi::dateText(m.date) +
           QStringLiteral(" ") + hibi::moneyText(m.amount);
}

QString reachedText(const hibi::Milestone& m) {
    QString text = QString::number(m.day) + QStringLiteral("日目 ") + hibi::moneyText(m.amount) +
                   QStringLiteral(" 達成");
    if (m.reachedOn.isValid()) {
        text += QStringLiteral("（") + hibi::dateText(m.reachedOn) + QStringLiteral("）");
    }
    return text;
}

QPushButton* button(const QString& text, const QString& name, const QString& objectName,
                    QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(objectName);
    b->setAccessibleName(name);
    return b;
}

}  // namespace

frmProgress::frmProgress(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("進み具合 — ヌピカ貯めよう！"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.png")));
    setAccessibleName(QStringLiteral("進み具合"));
    setFont(hibi::gothicFont(hibi::proportionalGothic(), 15));

    auto* figures = new QGridLayout;
    figures->setHorizontalSpacing(10);
    figures->setVerticalSpacing(4);
    for (int i = 0; i < FigureCount; ++i) {
        const FigureRow& row = kRows[i];
        const QString caption = QString::fromUtf16(row.caption);
        lblKoumoku_[i] = new QLabel(caption, this);
        lblKoumoku_[i]->setObjectName(QStringLiteral("lblKoumoku_%1").arg(i));
        lblKoumoku_[i]->setAccessibleName(caption);
        // A screen reader reads each value by its heading; the value itself
        // is the label's text and its description.
        lblAtai_[i] = new QLabel(this);
        lblAtai_[i]->setObjectName(QStringLiteral("lblAtai_%1").arg(i));
        lblAtai_[i]->setAccessibleName(caption);
        lblAtai_[i]->setAlignment((row.column == 2 ? Qt::AlignLeft : Qt::AlignRight) |
                                  Qt::AlignVCenter);
        lblAtai_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        lblAtai_[i]->setFrameShape(QFrame::StyledPanel);
        hibi::setColours(lblAtai_[i], Qt::black, hibi::kIvory);
        lblKoumoku_[i]->setBuddy(lblAtai_[i]);
        const int column = row.column == 2 ? 0 : row.column * 3;
        figures->addWidget(lblKoumoku_[i], row.row, column);
        figures->addWidget(lblAtai_[i], row.row, column + 1, 1, row.column == 2 ? 4 : 1);
    }
    figures->setColumnMinimumWidth(2, 24);
    figures->setColumnStretch(1, 1);
    figures->setColumnStretch(4, 1);

    picGraph_ = new hibi::ProgressChart(this);
    picGraph_->setObjectName(QStringLiteral("picGraph"));
    picGraph_->setAccessibleName(QStringLiteral("進み具合のグラフ"));

    tabKiroku_ = new QTabWidget(this);
    tabKiroku_->setObjectName(QStringLiteral("tabKiroku"));
    tabKiroku_->setAccessibleName(QStringLiteral("カレンダーとグラフ"));
    tabKiroku_->addTab(calendarPage(), QStringLiteral("カレンダー(&K)"));
    tabKiroku_->addTab(picGraph_, QStringLiteral("グラフ(&G)"));

    cmdTojiru_ = button(QStringLiteral("閉じる"), QStringLiteral("閉じる"),
                        QStringLiteral("cmdTojiru"), this);
    connect(cmdTojiru_, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdTojiru_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    layout->addLayout(figures);
    layout->addWidget(tabKiroku_, 1);
    layout->addLayout(buttons);
    resize(800, 700);
}

QWidget* frmProgress::calendarPage() {
    auto* page = new QWidget(this);
    cmdMaeNoToshi_ = button(QStringLiteral("◀ 前の年"), QStringLiteral("前の年"),
                            QStringLiteral("cmdMaeNoToshi"), page);
    cboToshi_ = new QComboBox(page);
    cboToshi_->setObjectName(QStringLiteral("cboToshi"));
    cboToshi_->setAccessibleName(QStringLiteral("表示する年"));
    cmdTsugiNoToshi_ = button(QStringLiteral("次の年 ▶"), QStringLiteral("次の年"),
                              QStringLiteral("cmdTsugiNoToshi"), page);
    lblToshiKei_ = new QLabel(page);
    lblToshiKei_->setObjectName(QStringLiteral("lblToshiKei"));
    lblToshiKei_->setAccessibleName(QStringLiteral("この年の日数"));
    picCalendar_ = new hibi::PlanCalendar(page);
    picCalendar_->setObjectName(QStringLiteral("picCalendar"));
    picCalendar_->setAccessibleName(QStringLiteral("カレンダー"));
    lblErandaHi_ = new QLabel(page);
    lblErandaHi_->setObjectName(QStringLiteral("lblErandaHi"));
    lblErandaHi_->setAccessibleName(QStringLiteral("選んだ日"));
    lblErandaHi_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(cmdMaeNoToshi_, &QPushButton::clicked, this,
            [this] { picCalendar_->showYear(picCalendar_->year() - 1); });
    connect(cmdTsugiNoToshi_, &QPushButton::clicked, this,
            [this] { picCalendar_->showYear(picCalendar_->year() + 1); });
    connect(cboToshi_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            picCalendar_->showYear(cboToshi_->itemData(index).toInt());
        }
    });
    connect(picCalendar_, &hibi::PlanCalendar::yearChanged, this, &frmProgress::calendarYearShown);
    connect(picCalendar_, &hibi::PlanCalendar::currentChanged, this,
            &frmProgress::calendarDayChosen);

    auto* years = new QHBoxLayout;
    years->addWidget(cmdMaeNoToshi_);
    years->addWidget(cboToshi_);
    years->addWidget(cmdTsugiNoToshi_);
    years->addSpacing(12);
    years->addWidget(lblToshiKei_, 1);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(years);
    layout->addWidget(picCalendar_);
    layout->addWidget(lblErandaHi_);
    auto* hint =
        new QLabel(QStringLiteral("マス目にマウスを置くと、その日の日数と金額が出ます。"
                                  "クリックか矢印キーで日を選べます"
                                  "（PageUp/PageDown で1年、Home で開始日、End で今日）。"),
                   page);
    hint->setObjectName(QStringLiteral("lblTsukaikata"));
    hint->setAccessibleName(QStringLiteral("カレンダーの使い方"));
    hint->setWordWrap(true);
    hibi::setTextColour(hint, QColor(0x60, 0x60, 0x60));
    layout->addSpacing(8);
    layout->addWidget(hint);
    layout->addStretch(1);
    return page;
}

void frmProgress::calendarYearShown(int year) {
    {
        const QSignalBlocker blocker(cboToshi_);
        cboToshi_->setCurrentIndex(cboToshi_->findData(year));
    }
    cmdMaeNoToshi_->setEnabled(year > picCalendar_->firstYear());
    cmdTsugiNoToshi_->setEnabled(year < picCalendar_->lastYear());
    lblToshiKei_->setText(picCalendar_->yearSummary());
    lblToshiKei_->setAccessibleDescription(lblToshiKei_->text());
}

void frmProgress::calendarDayChosen() {
    const QString text = picCalendar_->currentText();
    lblErandaHi_->setText(QString(text).replace(u'\n', QStringLiteral("　")));
    lblErandaHi_->setAccessibleDescription(lblErandaHi_->text());
    picCalendar_->setAccessibleDescription(picCalendar_->yearSummary() + QStringLiteral("。") +
                                           lblErandaHi_->text());
}

void frmProgress::setFigure(Figure which, const QString& text) {
    lblAtai_[which]->setText(text);
    lblAtai_[which]->setAccessibleDescription(text);
}

void frmProgress::refresh(const hibi::PlanModel& plan, const QDate& today) {
    auto shared = std::make_shared<hibi::ProgressFigures>(hibi::progressFigures(plan, today));
    const hibi::ProgressFigures& f = *shared;
    setFigure(Kaishi, hibi::dateText(f.start));
    setFigure(Keika, f.dayNumber >= 1 ? QString::number(f.dayNumber) + QStringLiteral("日目")
                                      : QStringLiteral("まだ始まっていません"));
    setFigure(Ruikei, amountText(f.saved));
    setFigure(Keikaku, amountText(f.planned, f.plannedInRange));
    setFigure(NyukinBi, daysText(f.daysWithDeposit));
    const qint64 unpaid = f.days.counts(f.start, f.today).unpaid;
    setFigure(MinyukinBi,
              daysText(f.daysWithoutDeposit) +
                  (unpaid > 0 ? QStringLiteral("（うち未入金 %1日）").arg(unpaid) : QString()));
    setFigure(Renzoku, daysText(f.currentRun));
    setFigure(Saichou, daysText(f.longestRun));
    setFigure(Sagaku,
              f.shortfallInRange ? hibi::gapText(f.shortfall) : QStringLiteral("計算できません"));
    setFigure(Mokuhyou,
              daysText(f.goalDays.value()) + QStringLiteral(" ") + amountText(f.goalAmount));
    setFigure(Nokori, f.goalReached ? QStringLiteral("達成")
                                    : QStringLiteral("あと ") + amountText(f.toGo));
    hibi::setTextColour(lblAtai_[Nokori], f.goalReached ? kReachedColour : QColor(Qt::black));
    setFigure(MokuhyouBi, f.goalDate.isValid() ? hibi::dateText(f.goalDate) : QStringLiteral("―"));
    setFigure(Fushime, f.milestones.next ? milestoneText(*f.milestones.next) : QStringLiteral("―"));
    setFigure(TasseiFushi, f.milestones.reached ? reachedText(*f.milestones.reached)
                                                : QStringLiteral("まだありません"));

    // An open window keeps the year in view; one opened anew shows today's.
    picCalendar_->setFigures(shared, isVisible());
    {
        const QSignalBlocker blocker(cboToshi_);
        cboToshi_->clear();
        for (int year = picCalendar_->lastYear(); year >= picCalendar_->firstYear(); --year) {
            cboToshi_->addItem(QString::number(year) + QStringLiteral("年"), year);
        }
    }
    calendarYearShown(picCalendar_->year());
    picGraph_->setFigures(shared);
    picGraph_->setAccessibleDescription(hibi::chartSummary(f));
}

}  // namespace hibi
