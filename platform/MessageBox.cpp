#include "platform/MessageBox.h"

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
    QMessageBox::information(parent, QStringLiteral("Vexmor"), text, QMessageBox::Ok);
}

void SetMessageBoxInterceptor(std::function<void(const QString&)> interceptor) {
    Interceptor() = std::move(interceptor);
}

}  // namespace vx::platform
