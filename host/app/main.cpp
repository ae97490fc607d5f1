#include <QApplication>

#include "host/app/VexmorApp.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    vx::CVexmorApp app;
    if (!app.InitInstance()) return 1;
    return app.Run();
}
