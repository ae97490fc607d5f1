#include <QApplication>

#include "host/app/TestHook.h"
#include "host/app/VexmorApp.h"

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    vx::StartTestHook();
    vx::CVexmorApp app;
    if (!app.InitInstance()) return 1;
    return app.Run();
}
