#include "platform/Modal.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QList>
#include <QPointer>

namespace vx::platform {
namespace {

// Modals of this module, outermost first. Each module (host, every plug-in)
// has its own list; EndAllModals therefore also looks at the application's
// top-level widgets, which every module shares.
QList<QPointer<QDialog>>& Running() {
    static QList<QPointer<QDialog>> running;
    return running;
}

}  // namespace

int RunModal(QDialog* dialog) {
    QPointer<QDialog> guard(dialog);
    Running().append(guard);
    const int result = dialog->exec();
    Running().removeAll(guard);
    Running().removeAll(QPointer<QDialog>());
    if (!guard) return 0;
    delete guard.data();
    return result;
}

void EndAllModals() {
    for (int i = Running().size() - 1; i >= 0; --i)
        if (QDialog* d = Running().at(i)) d->reject();
    // Dialogs run by other modules, and Qt's own modal boxes.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d && d->isVisible() && d->isModal()) d->reject();
    }
}

bool ModalRunning() {
    Running().removeAll(QPointer<QDialog>());
    return !Running().isEmpty();
}

QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startDir) {
    auto* dialog = new QFileDialog(parent, caption, startDir);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    // The result is read before RunModal deletes the dialog.
    QString chosen;
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [&chosen](const QString& dir) { chosen = dir; });
    return RunModal(dialog) == QDialog::Accepted ? chosen : QString();
}

}  // namespace vx::platform
