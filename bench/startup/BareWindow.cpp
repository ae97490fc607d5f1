// The peer: a bare Qt Widgets window of the main window's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Qt"));
    window.resize(760, 510);
    window.show();
    return QApplication::exec();
}
