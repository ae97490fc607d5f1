// The peer: a bare Qt Widgets window of the main window's size; with --text
// it shows one line of Chinese text, so that it pays for its fonts as every
// window with text does.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Qt"));
    window.resize(760, 510);
    if (QApplication::arguments().contains(QStringLiteral("--text")))
        (new QLabel(QStringLiteral("搜索工具 Vexmor空间"), &window))->move(8, 8);
    window.show();
    return QApplication::exec();
}
