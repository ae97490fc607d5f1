// Widgets need an application object; one lives for the whole fuzzing run,
// on the offscreen platform so no display is needed.
#pragma once

#include <QApplication>

inline void StartOffscreenApplication(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication* app = new QApplication(*argc, *argv);
    Q_UNUSED(app);
}
