#include "progress_window/progress_window.h"

#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>
#include <limits>

#include "ledger/text_formats.h"
#include "plan/plan_model.h"
#include "plan/progress.h"
#include "progress_window/chart_widget.h"
#include "ui_common/layout.h"

namespace {

struct FigureRow {
    const char16_t* caption;
    const char16_t* name;  // the value's accessible name
    int row, column;
};

// Two columns of figures above the chart, in the order of frmProgress::Figure.
constexpr FigureRow kRows[] = {
    {u"開始日", u"開始日", 0, 0},
    {u"今日は", u"今日の日数", 1, 0},
    {u"貯金額", u"貯金額", 2, 0},
    {u"計画どおりなら", u"計画どおりの貯金額", 3, 0},
    {u"入金した日", u"入金した日数", 4, 0},
    {u"入金しなかった日", u"入金しなかった日数", 5, 0},
    {u"連続記録（今）", u"今の連続記録", 0, 1},
    {u"最長連続記録", u"最長連続記録", 1, 1},
    {u"目標", u"目標の日数と金額", 2, 1},
    {u"あと", u"目標までの残り", 3, 1},
    {u"目標の日", u"目標の日", 4, 1},
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
        lblAtai_[i] = new QLabel(this);
        lblAtai_[i]->setObjectName(QStringLiteral("lblAtai_%1").arg(i));
        lblAtai_[i]->setAccessibleName(QString::fromUtf16(row.name));
        lblAtai_[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lblAtai_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        lblAtai_[i]->setFrameShape(QFrame::StyledPanel);
        hibi::setColours(lblAtai_[i], Qt::black, hibi::kIvory);
        lblKoumoku_[i]->setBuddy(lblAtai_[i]);
        figures->addWidget(lblKoumoku_[i], row.row, row.column * 3);
        figures->addWidget(lblAtai_[i], row.row, row.column * 3 + 1);
    }
    figures->setColumnMinimumWidth(2, 24);
    figures->setColumnStretch(1, 1);
    figures->setColumnStretch(4, 1);

    picGraph_ = new hibi::ProgressChart(this);
    picGraph_->setObjectName(QStringLiteral("picGraph"));
    picGraph_->setAccessibleName(QStringLiteral("進み具合のグラフ"));
    picGraph_->setAccessibleDescription(
        QStringLiteral("計画の累計と貯金の累計の線、入金しなかった日の赤い印"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(12);
    layout->addLayout(figures);
    layout->addWidget(picGraph_, 1);
    resize(720, 560);
}

void frmProgress::setFigure(Figure which, const QString& text) {
    lblAtai_[which]->setText(text);
}

void frmProgress::refresh(const hibi::PlanModel& plan, const QDate& today) {
    hibi::ProgressFigures f = hibi::progressFigures(plan, today);
    setFigure(Kaishi, hibi::dateText(f.start));
    setFigure(Keika, f.dayNumber >= 1 ? QString::number(f.dayNumber) + QStringLiteral("日目")
                                      : QStringLiteral("まだ始まっていません"));
    setFigure(Ruikei, amountText(f.saved));
    setFigure(Keikaku, amountText(f.planned, f.plannedInRange));
    setFigure(NyukinBi, daysText(f.daysWithDeposit));
    setFigure(MinyukinBi, daysText(f.daysWithoutDeposit));
    setFigure(Renzoku, daysText(f.currentRun));
    setFigure(Saichou, daysText(f.longestRun));
    setFigure(Mokuhyou,
              daysText(f.goalDays.value()) + QStringLiteral(" ") + amountText(f.goalAmount));
    lblKoumoku_[Nokori]->setText(f.goalReached ? QString() : QStringLiteral("あと"));
    setFigure(Nokori, f.goalReached ? QStringLiteral("達成") : amountText(f.toGo));
    hibi::setTextColour(lblAtai_[Nokori], f.goalReached ? kReachedColour : QColor(Qt::black));
    setFigure(MokuhyouBi, f.goalDate.isValid() ? hibi::dateText(f.goalDate) : QStringLiteral("―"));
    picGraph_->setFigures(std::move(f));
}
