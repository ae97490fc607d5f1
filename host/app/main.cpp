#include <QApplication>

#include "host/app/VexmorApp.h"
#include "platform/ContextMenu.h"
#include "platform/Translation.h"

int main(int argc, char** argv) {
    // Before any window: Qt asks for the application's interface only once.
    vx::platform::InstallPopupMenuAccessibility();
    QApplication qtApp(argc, argv);
    vx::platform::InstallQtTranslator();
    vx::platform::InstallModuleTranslator(QStringLiteral("Vexmor"));
    vx::CVexmorApp app;
    if (!app.InitInstance()) return 1;
    return app.Run();
}
