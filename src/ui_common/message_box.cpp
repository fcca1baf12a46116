#include "ui_common/message_box.h"

#include <QMessageBox>
#include <QPushButton>

namespace hibi {

namespace {

struct Recorder {
    bool recording = false;
    QList<MessageBox::Answer> answers;
    QList<MessageBox::Shown> shown;
    std::function<void()> whenShown;
};

Recorder& recorder() {
    static Recorder instance;
    return instance;
}

}  // namespace

QString programTitle() {
    return QStringLiteral("ヌピカ貯めよう！");
}

MessageBox::Answer MessageBox::show(QWidget* parent, const QString& title, const QString& text,
                                    Icon icon, Buttons buttons) {
    Recorder& r = recorder();
    if (r.recording) {
        r.shown.append({title, text, icon, buttons});
        if (r.whenShown) {
            r.whenShown();
        }
        return r.answers.isEmpty() ? Answer::Ok : r.answers.takeFirst();
    }
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    // Paths and reasons can be copied out.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    switch (icon) {
        case Icon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case Icon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case Icon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
    }
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    QPushButton* cancel = nullptr;
    if (buttons == Buttons::OkCancel) {
        cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
        cancel->setObjectName(QStringLiteral("cancel"));
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok ? Answer::Ok : Answer::Cancel;
}

void MessageBox::startRecording() {
    recorder() = Recorder{};
    recorder().recording = true;
}

void MessageBox::answerNext(Answer answer) {
    recorder().answers.append(answer);
}

void MessageBox::whenShown(std::function<void()> look) {
    recorder().whenShown = std::move(look);
}

QList<MessageBox::Shown> MessageBox::takeShown() {
    QList<Shown> shown;
    shown.swap(recorder().shown);
    return shown;
}

void MessageBox::stopRecording() {
    recorder() = Recorder{};
}

}  // namespace hibi
