#include "platform/MessageBox.h"

#include <QFile>
#include <QMessageBox>

namespace vx::platform {
namespace {
std::function<void(const QString&)>& Interceptor() {
    static std::function<void(const QString&)> f;
    return f;
}
}  // namespace

void ShowMessageBox(const QString& text, QWidget* parent) {
    if (Interceptor()) {
        Interceptor()(text);
        return;
    }
    if (const QString log = qEnvironmentVariable("VX_MESSAGEBOX_LOG"); !log.isEmpty()) {
        QFile f(log);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append)) f.write(text.toUtf8() + '\n');
        return;
    }
    QMessageBox::information(parent, QStringLiteral("Vexmor"), text, QMessageBox::Ok);
}

void SetMessageBoxInterceptor(std::function<void(const QString&)> interceptor) {
    Interceptor() = std::move(interceptor);
}

}  // namespace vx::platform
