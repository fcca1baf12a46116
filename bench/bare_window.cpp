// The floor for the start-up benchmark: a QApplication that shows one empty
// window of the main window's size with a title, and nothing else. Whatever
// the program takes beyond this is its own.
//
// With --text the window holds one label of Japanese text in the default
// font instead: the least a window that draws any text pays for the font
// system (fontconfig, the font database, one font engine and its fallback).
// It is a second reference, not the floor.
#include <QApplication>
#include <QLabel>
#include <QWidget>
#include <cstring>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("空のウィンドウ"));
    window.setFixedSize(631, 452);
    if (argc > 1 && std::strcmp(argv[1], "--text") == 0) {
        auto* label = new QLabel(QStringLiteral("本日の入金予定は 365円 です。"), &window);
        label->setGeometry(20, 20, 400, 40);
    }
    window.show();
    return app.exec();
}
