#pragma once

#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace hibi {

// Every message box of the program goes through here, so that tests can
// answer them in advance instead of blocking on a modal dialog.
class MessageBox {
  public:
    enum class Icon { None, Information, Warning, Critical };
    // OkCancelDefaultCancel: for what cannot be undone lightly, Enter cancels.
    enum class Buttons { Ok, OkCancel, OkCancelDefaultCancel };
    enum class Answer { Ok, Cancel };

    struct Shown {
        QString title;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    // Shows a modal box; OK is the default button. Japanese button texts.
    static Answer show(QWidget* parent, const QString& title, const QString& text, Icon icon,
                       Buttons buttons = Buttons::Ok);

    // For tests: from now on no box is shown. Each box is recorded and
    // answered with the next queued answer, or OK when none is queued.
    static void startRecording();
    static void answerNext(Answer answer);
    static QList<Shown> takeShown();
    // Runs look while each recorded box would be on screen.
    static void whenShown(std::function<void()> look);
    static void stopRecording();
};

// The title of the program's own error and notice boxes.
QString programTitle();

}  // namespace hibi
