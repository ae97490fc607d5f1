#include "platform/Modal.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QList>
#include <QPointer>
#include <QVariant>

namespace vx::platform {
namespace {

// The host and every plug-in compile their own copy of this file, yet exit
// must know about the modals of all of them. What they share is the one
// application object, so the count of running modals and the "exit is
// ending them" state live there as properties, and a dialog ended from
// outside carries a mark that whichever module runs it can read.
constexpr char kDepthProperty[] = "vx.modalDepth";
constexpr char kEndingProperty[] = "vx.modalsEnding";
constexpr char kEndedMark[] = "vx.endedFromOutside";

// Modals of this module, outermost first.
QList<QPointer<QDialog>>& Running() {
    static QList<QPointer<QDialog>> running;
    return running;
}

int SharedDepth() { return qApp ? qApp->property(kDepthProperty).toInt() : 0; }

void AddSharedDepth(int delta) {
    if (!qApp) return;
    const int depth = qMax(0, SharedDepth() + delta);
    qApp->setProperty(kDepthProperty, depth);
    // Once every loop has returned, later modals run normally again.
    if (depth == 0) qApp->setProperty(kEndingProperty, QVariant());
}

bool Ending() { return qApp && qApp->property(kEndingProperty).toBool(); }

void EndFromOutside(QDialog* dialog) {
    dialog->setProperty(kEndedMark, true);
    dialog->reject();
}

}  // namespace

int RunModal(QDialog* dialog) {
    if (!dialog) return 0;
    // While exit unwinds the running loops, a new one would hold it up.
    if (Ending()) {
        delete dialog;
        return 0;
    }
    // Modal to the window it belongs to, not to the whole program: the tray
    // icon is a window of its own, and under an application-modal dialog it
    // takes no clicks, so 退出 from the tray could not be reached.
    if (dialog->parentWidget() && !dialog->testAttribute(Qt::WA_SetWindowModality))
        dialog->setWindowModality(Qt::WindowModal);
    QPointer<QDialog> guard(dialog);
    Running().append(guard);
    AddSharedDepth(+1);
    const int result = dialog->exec();
    AddSharedDepth(-1);
    Running().removeAll(guard);
    Running().removeAll(QPointer<QDialog>());
    if (!guard) return 0;
    const bool ended = guard->property(kEndedMark).toBool();
    delete guard.data();
    return ended ? 0 : result;
}

void EndAllModals() {
    if (ModalRunning() && qApp) qApp->setProperty(kEndingProperty, true);
    for (qsizetype i = Running().size() - 1; i >= 0; --i)
        if (QDialog* d = Running().at(i)) EndFromOutside(d);
    // Dialogs run by other modules' copies of RunModal.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d && d->isVisible() && d->isModal()) EndFromOutside(d);
    }
    // A popup menu holds input while it is open; exit closes it too.
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (!popup->close()) break;
    }
}

bool ModalRunning() { return SharedDepth() > 0; }

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

QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& startPath,
                       const QString& filter) {
    auto* dialog = new QFileDialog(parent, caption, startPath, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    QString chosen;
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog,
                     [&chosen](const QString& file) { chosen = file; });
    return RunModal(dialog) == QDialog::Accepted ? chosen : QString();
}

}  // namespace vx::platform
