#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("ヌピカ貯めよう！"));
    window.setFixedSize(631, 452);
    window.show();
    return app.exec();
}
