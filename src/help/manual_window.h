#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

namespace hibi {

// The built-in manual: the Japanese user guide compiled into the program,
// shown in a window of its own that belongs to the main window. It is made
// on the first request and then only raised; it closes with its owner.
class ManualWindow : public QWidget {
    Q_OBJECT
  public:
    // Shows the owner's manual window, making it on first use, and moves to
    // the section named anchor (an empty anchor leaves the place as it is).
    static ManualWindow* show(QWidget* owner, const QString& anchor = QString());

    QTextBrowser* browser() const { return txtManual_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit ManualWindow(QWidget* owner);
    void moveTo(const QString& anchor);

    QTextBrowser* txtManual_ = nullptr;
};

}  // namespace hibi
