#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QWidget>

class QFontMetrics;
class QLabel;
class QPixmap;

namespace hibi {

// Window layouts are drawn up in twips, 15 to the pixel.
constexpr int twipsToPixels(int twips) {
    return (twips + 7) / 15;
}
inline QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

// Loads the IPA fonts shipped in a "fonts" folder beside the program (the
// Windows build) when the system has no Japanese gothic face of its own.
// Called once, before the first window.
void loadShippedFonts();

// The proportional and fixed-pitch Japanese Gothic faces, as installed:
// "ＭＳ Ｐゴシック"/"ＭＳ ゴシック", else (on Windows) Yu Gothic or Meiryo,
// else IPA P Gothic/IPA Gothic, else any Japanese Gothic face.
QString proportionalGothic();
QString fixedGothic();
// The tables' face: "ＭＳ Ｐゴシック" where installed; otherwise IPA Gothic,
// whose half-width digits are as narrow as the tables' columns expect.
QString tableGothic();

// A font by its size in pixels (11.25 pt is 15 pixels at 96 dpi), so that
// the layout does not depend on the screen's resolution.
QFont gothicFont(const QString& family, int pixelSize, bool bold = false);

// The width a label has for a line of text in the given font: its contents
// less its margins and the indent a framed label keeps from its border.
int labelTextRoom(const QLabel* label, const QFontMetrics& metrics);
// Sets a value label's text in the font it was laid out with, or, where the
// text would not fit, in the largest smaller pixel size that shows it whole.
void setFittedText(QLabel* label, const QString& text);

// A picture from the resources at its logical size, sharp on the screen's
// scale: the "@2x" drawing where the screen scales by more than 1.
QPixmap picture(const QString& path, const QSize& size);

// The ivory of the value boxes and of the panels behind the texts.
inline const QColor kIvory(0xFF, 0xFF, 0xF0);

// Text colour and background of a widget.
void setColours(QWidget* widget, const QColor& text, const QColor& background);
void setTextColour(QWidget* widget, const QColor& text);

// The ivory rounded panel drawn behind the status labels and the schedule
// window's text.
class RoundedPanel : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// The two-stroke etched separator: grey above, white below.
class EtchedLine : public QWidget {
    Q_OBJECT
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace hibi
