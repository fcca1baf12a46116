#include "ui_common/layout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QVariant>
#include <algorithm>

namespace hibi {

namespace {

QString firstInstalled(const QStringList& wanted) {
    // Asking the font database for every family is slow; ask once.
    static const QStringList families = QFontDatabase::families();
    for (const QString& family : wanted) {
        if (families.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    for (const QString& family : QFontDatabase::families(QFontDatabase::Japanese)) {
        if (family.contains(QStringLiteral("Gothic"), Qt::CaseInsensitive) ||
            family.contains(QStringLiteral("ゴシック"))) {
            return family;
        }
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    return japanese.isEmpty() ? QString() : japanese.first();
}

// Windows' own Japanese gothic faces, for a system without the MS faces.
// Elsewhere they are not looked for, so that the IPA faces, which keep the
// MS faces' widths, come first.
QStringList systemGothics() {
#ifdef Q_OS_WIN
    return {QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
            QStringLiteral("Yu Gothic"), QStringLiteral("Meiryo")};
#else
    return {};
#endif
}

}  // namespace

void loadShippedFonts() {
    // Only the Windows folder has one: a system with a Japanese gothic of its
    // own keeps it.
    const QDir fonts(QCoreApplication::applicationDirPath() + QStringLiteral("/fonts"));
    if (!fonts.exists()) {
        return;
    }
    const QStringList installed = QFontDatabase::families();
    const QStringList own =
        QStringList{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")} +
        systemGothics();
    for (const QString& family : own) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return;
        }
    }
    for (const QString& name : fonts.entryList({QStringLiteral("*.ttf")}, QDir::Files)) {
        QFontDatabase::addApplicationFont(fonts.filePath(name));
    }
}

QString proportionalGothic() {
    static const QString family = firstInstalled(
        QStringList{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")} +
        systemGothics() +
        QStringList{QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック")});
    return family;
}

QString fixedGothic() {
    static const QString family = firstInstalled(
        QStringList{QStringLiteral("ＭＳ ゴシック"), QStringLiteral("MS Gothic")} +
        systemGothics() + QStringList{QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック")});
    return family;
}

QString tableGothic() {
    static const QString family = firstInstalled(
        QStringList{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic")} +
        systemGothics() + QStringList{QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック")});
    return family;
}

QFont gothicFont(const QString& family, int pixelSize, bool bold) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QPixmap picture(const QString& path, const QSize& size) {
    return QIcon(path).pixmap(size, qApp->devicePixelRatio());
}

int labelTextRoom(const QLabel* label, const QFontMetrics& metrics) {
    int indent = label->indent();
    if (indent < 0) {
        indent = label->frameWidth() > 0
                     ? metrics.horizontalAdvance(QLatin1Char('x')) / 2 - label->margin()
                     : 0;
    }
    return label->contentsRect().width() - 2 * label->margin() - std::max(indent, 0);
}

void setFittedText(QLabel* label, const QString& text) {
    static const char* const kDesignSize = "hibiDesignPixelSize";
    QVariant design = label->property(kDesignSize);
    if (!design.isValid()) {
        design = label->font().pixelSize();
        label->setProperty(kDesignSize, design);
    }
    QFont font = label->font();
    int size = design.toInt();
    // Nine pixels is the smallest size the IPA faces still draw legibly.
    for (font.setPixelSize(size); size > 9; font.setPixelSize(--size)) {
        if (QFontMetrics(font).horizontalAdvance(text) <=
            labelTextRoom(label, QFontMetrics(font))) {
            break;
        }
    }
    label->setFont(font);
    label->setText(text);
}

void setColours(QWidget* widget, const QColor& text, const QColor& background) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget* widget, const QColor& text) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, text);
    widget->setPalette(palette);
}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(kIvory);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
}

void EtchedLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.setPen(Qt::white);
    painter.drawLine(0, 1, width() - 1, 1);
}

}  // namespace hibi
