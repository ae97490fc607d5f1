#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>

#include "platform/Modal.h"

namespace vx::platform {
namespace {
std::function<void(const QString&)>& Interceptor() {
    static std::function<void(const QString&)> f;
    return f;
}
std::function<bool(const QString&)>& QuestionInterceptor() {
    static std::function<bool(const QString&)> f;
    return f;
}
}  // namespace

bool ShowMessageBox(const QString& text, QWidget* parent) {
    if (Interceptor()) {
        Interceptor()(text);
        return true;
    }
    if (const QString log = qEnvironmentVariable("VX_MESSAGEBOX_LOG"); !log.isEmpty()) {
        QFile f(log);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append)) f.write(text.toUtf8() + '\n');
        return true;
    }
    // A heap box run through RunModal: the parent may die under it at exit.
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Vexmor"), text,
                                QMessageBox::Ok, parent);
    // Every way the user closes the box answers with its one button, never 0.
    return RunModal(box) != 0;
}

bool AskYesNo(const QString& text, QWidget* parent) {
    if (QuestionInterceptor()) return QuestionInterceptor()(text);
    if (const QString log = qEnvironmentVariable("VX_MESSAGEBOX_LOG"); !log.isEmpty()) {
        QFile f(log);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append)) f.write(text.toUtf8() + '\n');
        return false;
    }
    auto* box = new QMessageBox(QMessageBox::Question, QStringLiteral("Vexmor"), text,
                                QMessageBox::Yes | QMessageBox::No, parent);
    box->button(QMessageBox::Yes)
        ->setText(QCoreApplication::translate("vx::platform::MessageBox", "是"));
    box->button(QMessageBox::No)
        ->setText(QCoreApplication::translate("vx::platform::MessageBox", "否"));
    box->setDefaultButton(QMessageBox::No);
    return RunModal(box) == QMessageBox::Yes;
}

void SetQuestionInterceptor(std::function<bool(const QString&)> interceptor) {
    QuestionInterceptor() = std::move(interceptor);
}

void SetMessageBoxInterceptor(std::function<void(const QString&)> interceptor) {
    Interceptor() = std::move(interceptor);
}

}  // namespace vx::platform
