#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QToolButton>
#include <algorithm>

#include "grid/flex_grid.h"
#include "main_window/fra_main.h"
#include "ui_common/layout.h"

namespace hibi {

// The main window's controls, as the layout tables place them.

using hibi::twipsRect;

namespace {

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kMaroon(0x80, 0x00, 0x00);

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
#ifdef Q_OS_WIN
    // Windows' own style keeps wider margins than the buttons were drawn for
    // and would cut the longest caption short: its font steps down instead.
    for (int pixels = 11; pixels >= 9 && button->sizeHint().width() > button->width(); --pixels) {
        button->setFont(hibi::gothicFont(hibi::proportionalGothic(), pixels));
    }
#endif
    return button;
}

}  // namespace

void fraMain::buildControls() {
    const QString pGothic = hibi::proportionalGothic();
    const QFont heading = hibi::gothicFont(pGothic, 21);
    const QFont fixedValue = hibi::gothicFont(hibi::fixedGothic(), 21);
    const QFont status = hibi::gothicFont(pGothic, 15);
    const QFont amount = hibi::gothicFont(pGothic, 21, true);

    // The original window's content, below the menu bar: every control keeps
    // its place relative to this area.
    auto* body = body_ = new QWidget(this);
    body->setObjectName(QStringLiteral("body"));
    body->setAccessibleName(QStringLiteral("入金の記録"));
    body->setGeometry(0, menuBar_->sizeHint().height(), 631, 452);

    // Top strip.
    Image2_ = makeLabel(body, QStringLiteral("Image2"), QString(), twipsRect(150, 70, 4680, 1035),
                        QFont(), Qt::AlignLeft | Qt::AlignTop);
    Image2_->setPixmap(hibi::picture(QStringLiteral(":/images/title.png"), QSize(312, 69)));
    Image2_->setAccessibleName(QStringLiteral("ヌピカ貯めよう！"));

    cmdEveryHozon_ = makePictureButton(
        body, QStringLiteral("cmdEveryHozon"), QStringLiteral("入金"),
        QStringLiteral(":/images/app_icon.png"), QStringLiteral("指定通り貯金します"), 5175);
    cmdEveryClr_ = makePictureButton(body, QStringLiteral("cmdEveryClr"), QStringLiteral("クリア"),
                                     QStringLiteral(":/images/icon_reset.png"),
                                     QStringLiteral("ギブアップして最初から始めます"), 6000);
    cmdHelp_ = makePictureButton(body, QStringLiteral("cmdHelp"), QStringLiteral("ヘルプ"),
                                 QStringLiteral(":/images/icon_help.png"),
                                 QStringLiteral("ヘルプファイルを開きます"), 6825);
    cmdsyoukai_ =
        makePictureButton(body, QStringLiteral("cmdsyoukai"), QStringLiteral("ウェクサル"),
                          QStringLiteral(":/images/icon_companion.png"),
                          QStringLiteral("ヘルプファイルを開きます"), 7650);
    cmdEnd_ = makePictureButton(body, QStringLiteral("cmdEnd"), QStringLiteral("終了"),
                                QStringLiteral(":/images/icon_exit.png"),
                                QStringLiteral("プログラムを終了します"), 8475);
    // クリア takes no keyboard focus: it stays second in the tab order and
    // answers the mouse.
    cmdEveryClr_->setFocusPolicy(Qt::NoFocus);
    for (QToolButton* button : {cmdEveryHozon_, cmdEveryClr_, cmdHelp_, cmdsyoukai_, cmdEnd_}) {
        button->installEventFilter(this);
    }
    connect(cmdEveryHozon_, &QToolButton::clicked, this, &fraMain::cmdEveryHozon_Click);
    connect(cmdEveryClr_, &QToolButton::clicked, this, &fraMain::cmdEveryClr_Click);
    connect(cmdHelp_, &QToolButton::clicked, this, &fraMain::cmdHelp_Click);
    connect(cmdsyoukai_, &QToolButton::clicked, this, &fraMain::cmdsyoukai_Click);
    connect(cmdEnd_, &QToolButton::clicked, this, &fraMain::cmdEnd_Click);

    // Both strokes of the separator: (90, 1185) and (90, 1200) to x 9380.
    Line1_ = new hibi::EtchedLine(body);
    Line1_->setObjectName(QStringLiteral("Line1"));
    Line1_->setGeometry(hibi::twipsToPixels(90), hibi::twipsToPixels(1185),
                        hibi::twipsToPixels(9380) - hibi::twipsToPixels(90) + 1, 2);
    Line1_->setAccessibleName(QStringLiteral("区切り線"));

    // History.
    msgEvery_ = makeTableGrid(body, QStringLiteral("msgEvery"), twipsRect(75, 1350, 6810, 5355), 5,
                              1, QStringLiteral("入金の履歴"));

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
            makeLabel(body, QStringLiteral("Label1_%1").arg(h.index), QString::fromUtf16(h.text),
                      twipsRect(6975, h.top, 915, 390), heading, centred);
        hibi::setColours(label, Qt::white, h.background);
        makeBordered(label);
        Label1_[h.index] = label;
    }
    Label1_[1]->setToolTip(QStringLiteral("目標日数を入れてＥｎｔｅｒキーを押してください"));

    lblkeika_ = makeLabel(body, QStringLiteral("lblkeika"), QStringLiteral("Label1"),
                          twipsRect(7875, 1350, 1440, 390), fixedValue, right);
    lblEvery_zen_ = makeLabel(body, QStringLiteral("lblEvery_zen"), QStringLiteral("Label1"),
                              twipsRect(7875, 1725, 1440, 390), fixedValue, right);
    lblSetKingaku_ = makeLabel(body, QStringLiteral("lblSetKingaku"), QStringLiteral("Label2"),
                               twipsRect(7875, 2625, 1440, 390), heading, right);
    for (QLabel* value : {lblkeika_, lblEvery_zen_}) {
        hibi::setColours(value, Qt::black, hibi::kIvory);
        makeBordered(value);
    }
    hibi::setColours(lblSetKingaku_, palette().color(QPalette::WindowText), hibi::kIvory);
    makeBordered(lblSetKingaku_);

    txtSetNissuu_ = new QLineEdit(QStringLiteral("Text1"), body);
    txtSetNissuu_->setObjectName(QStringLiteral("txtSetNissuu"));
    txtSetNissuu_->setGeometry(twipsRect(7875, 2250, 1440, 360));
    txtSetNissuu_->setFont(heading);
    txtSetNissuu_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtSetNissuu_->setAccessibleName(QStringLiteral("目標日数"));
    txtSetNissuu_->setAccessibleDescription(Label1_[1]->toolTip());
    txtSetNissuu_->installEventFilter(this);

    // Status panel: the ivory panel behind the sentences.
    Shape1_ = new hibi::RoundedPanel(body);
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
            makeLabel(body, QStringLiteral("lblCmnt1_%1").arg(s.index), QString::fromUtf16(s.text),
                      twipsRect(s.leftTwips, s.top, s.width, s.height), status, s.alignment);
    }
    lblEvery_Kingaku_ = makeLabel(body, QStringLiteral("lblEvery_Kingaku"), QStringLiteral("365円"),
                                  twipsRect(7275, 3675, 1365, 315), amount, right);
    hibi::setTextColour(lblEvery_Kingaku_, QColor(0x00, 0x00, 0xFF));
    lblEvery_Tainou_ = makeLabel(body, QStringLiteral("lblEvery_Tainou"), QStringLiteral("365円"),
                                 twipsRect(7275, 4500, 1365, 315), amount, right);
    hibi::setTextColour(lblEvery_Tainou_, QColor(0xFF, 0x00, 0x00));
    lblEvery_Goukei_ = makeLabel(body, QStringLiteral("lblEvery_Goukei"), QStringLiteral("23065円"),
                                 twipsRect(7350, 5175, 1290, 315), amount, right);
    hibi::setTextColour(lblEvery_Goukei_, QColor(0x00, 0xC0, 0x00));

    Image1_ = makeLabel(body, QStringLiteral("Image1"), QString(), twipsRect(8250, 5625, 960, 960),
                        QFont(), Qt::AlignLeft | Qt::AlignTop);
    Image1_->setPixmap(hibi::picture(QStringLiteral(":/images/panel.png"), QSize(64, 64)));
    Image1_->setAccessibleName(QStringLiteral("貯金箱"));
    Shape1_->lower();

    // Keyboard: buttons, then the history, then the goal box.
    setTabOrder(cmdEveryHozon_, cmdEveryClr_);
    setTabOrder(cmdEveryClr_, cmdHelp_);
    setTabOrder(cmdHelp_, cmdsyoukai_);
    setTabOrder(cmdsyoukai_, cmdEnd_);
    setTabOrder(cmdEnd_, msgEvery_);
    setTabOrder(msgEvery_, txtSetNissuu_);

    for (QWidget* control : body->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        designGeometry_.append({control, control->geometry()});
    }
}

void fraMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Enlarged, the history grows right and down and the separator right;
    // the title keeps its place at the top left and every other control
    // its place relative to the top right.
    const int wider = std::max(0, width() - designSize_.width());
    const int taller = std::max(0, height() - designSize_.height());
    menuBar_->resize(width(), menuBar_->height());
    body_->resize(631 + wider, 452 + taller);
    for (const auto& [control, design] : std::as_const(designGeometry_)) {
        if (control == msgEvery_) {
            control->setGeometry(design.adjusted(0, 0, wider, taller));
        } else if (control == Line1_) {
            control->setGeometry(design.adjusted(0, 0, wider, 0));
        } else if (control != Image2_) {
            control->setGeometry(design.translated(wider, 0));
        }
    }
}

}  // namespace hibi
