#include "schedule_window/frm_sub.h"

#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "grid/flex_grid.h"
#include "ledger/schedule.h"
#include "ledger/text_formats.h"
#include "ui_common/layout.h"

namespace hibi {

using hibi::twipsRect;

namespace {

struct LabelLine {
    const char16_t* text;
    int left, top, width, height;
};

// The six lines beside the table, top to bottom.
constexpr LabelLine kLines[] = {
    {u"１日目に１円、２日目に２円…　", 2775, 375, 3690, 390},
    {u"３６５日後に３６５円と入金していく貯金法です", 2775, 675, 4365, 390},
    {u"←こんな風に貯まっていきます。", 2775, 1125, 3315, 315},
    {u"見ての通り「高額」の貯金を期待するもの", 2775, 1725, 4215, 315},
    {u"ではなく、毎日毎日の貯金意識継続の為に", 2775, 2025, 4215, 315},
    {u"利用するとおもしろいと思います。", 2775, 2325, 4215, 315},
};

}  // namespace

frmSub::frmSub(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmSub"));
    setWindowTitle(QStringLiteral("ヌピカ始めてみよう！"));
    setWindowIcon(QIcon(QStringLiteral(":/images/app_icon.png")));
    setFixedSize(481, 249);
    setModal(true);
    setAttribute(Qt::WA_DeleteOnClose, false);

    const QFont text15 = hibi::gothicFont(hibi::proportionalGothic(), 15);

    Shape1_ = new hibi::RoundedPanel(this);
    Shape1_->setObjectName(QStringLiteral("Shape1"));
    Shape1_->setGeometry(twipsRect(2625, 75, 4485, 3540));
    Shape1_->setAccessibleName(QStringLiteral("説明の背景"));

    for (int i = 0; i < 6; ++i) {
        const LabelLine& line = kLines[i];
        auto* label = new QLabel(QString::fromUtf16(line.text), this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setGeometry(twipsRect(line.left, line.top, line.width, line.height));
        label->setFont(text15);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setAccessibleName(label->text());
    }

    cmdModori_ = new QPushButton(QStringLiteral("１円玉を用意して さぁ 始めよう！"), this);
    cmdModori_->setObjectName(QStringLiteral("cmdModori"));
    cmdModori_->setGeometry(twipsRect(3075, 2850, 3540, 540));
    cmdModori_->setFont(text15);
    cmdModori_->setAutoDefault(false);
    cmdModori_->setDefault(true);
    cmdModori_->setAccessibleName(cmdModori_->text());
    connect(cmdModori_, &QPushButton::clicked, this, &frmSub::cmdModori_Click);

    msgEverySub_ =
        makeTableGrid(this, QStringLiteral("msgEverySub"), twipsRect(150, 105, 2375, 3495), 2, 0,
                      QStringLiteral("貯金額の一覧"));

    setTabOrder(cmdModori_, msgEverySub_);
    Form_Load();
    cmdModori_->setFocus();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - rect().center());
    }
}

void frmSub::Form_Load() {
    FlexGrid& grid = *msgEverySub_;
    grid.setFontSizePoints(12);
    grid.setRows(366);
    grid.setRow(0);
    grid.setCol(0);
    grid.setText(QStringLiteral("日数"));
    grid.setCol(1);
    grid.setText(QStringLiteral("貯金額"));
    grid.setColWidthTwips(0, 1000);
    grid.setColWidthTwips(1, 1000);
    grid.setFixedAlignment(0, 4);
    grid.setFixedAlignment(1, 4);
    grid.setColAlignment(1, 7);
    for (int day = 1; day <= 365; ++day) {
        grid.setRow(day);
        grid.setCol(0);
        grid.setText(hibi::scheduleDayText(day));
        grid.setCol(1);
        grid.setText(hibi::moneyText(
            hibi::Amount::fromWideYen(*hibi::planTotalYen(day)).value_or(hibi::Amount())));
    }
    // Day numbers and totals only grow, and a text grows with its number:
    // the last row holds the widest of both columns. Measuring every row
    // instead was nearly a fifth of the first start-up.
    grid.fitColumnsToTexts({{0, grid.cellText(365, 0)}, {1, grid.cellText(365, 1)}});
}

void frmSub::cmdModori_Click() {
    close();
}

}  // namespace hibi
