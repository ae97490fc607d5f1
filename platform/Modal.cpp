#include "platform/Modal.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QList>
#include <QPointer>
#include <QSet>

#include <mutex>

namespace vx::platform {
namespace {

// One per process: the host and every plug-in run their modals through this
// one copy of the library. Modals run on the UI thread only; the mutex keeps
// a stray call from another thread from tearing the state all the same.
struct ModalState {
    std::mutex lock;
    int depth = 0;                     // RunModal calls that have not returned
    QList<QPointer<QDialog>> running;  // their dialogs, outermost first
    QSet<const QDialog*> endedFromOutside;
    bool ending = false;  // exit is ending the running modals
};

ModalState& State() {
    static ModalState state;
    return state;
}

}  // namespace

int RunModal(QDialog* dialog) {
    if (!dialog) return 0;
    ModalState& state = State();
    QPointer<QDialog> guard(dialog);
    {
        std::lock_guard lock(state.lock);
        // While exit unwinds the running loops, a new one would hold it up.
        if (state.ending) {
            guard = nullptr;
        } else {
            ++state.depth;
            state.running.append(guard);
        }
    }
    if (!guard) {
        delete dialog;
        return 0;
    }
    // Modal to the window it belongs to, not to the whole program: the tray
    // icon is a window of its own, and under an application-modal dialog it
    // takes no clicks, so 退出 from the tray could not be reached.
    if (dialog->parentWidget() && !dialog->testAttribute(Qt::WA_SetWindowModality))
        dialog->setWindowModality(Qt::WindowModal);
    const int result = dialog->exec();
    bool ended = false;
    {
        std::lock_guard lock(state.lock);
        --state.depth;
        state.running.removeAll(guard);
        state.running.removeAll(QPointer<QDialog>());
        ended = state.endedFromOutside.remove(dialog);
        // Once every loop has returned, later modals run normally again.
        if (state.depth == 0) {
            state.ending = false;
            state.endedFromOutside.clear();
        }
    }
    if (!guard) return 0;
    delete guard.data();
    return ended ? 0 : result;
}

void EndAllModals() {
    ModalState& state = State();
    QList<QPointer<QDialog>> running;
    {
        std::lock_guard lock(state.lock);
        if (state.depth > 0) state.ending = true;
        running = state.running;
    }
    // Rejected outside the lock: reject() emits signals that may run more code.
    const auto endFromOutside = [&state](QDialog* dialog) {
        {
            std::lock_guard lock(state.lock);
            state.endedFromOutside.insert(dialog);
        }
        dialog->reject();
    };
    for (qsizetype i = running.size() - 1; i >= 0; --i)
        if (QDialog* d = running.at(i)) endFromOutside(d);
    // Modal dialogs Qt itself runs inside one of ours (a file dialog's own
    // questions) are not in the list.
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* d = qobject_cast<QDialog*>(w);
        if (d && d->isVisible() && d->isModal() && !running.contains(d)) d->reject();
    }
    // A popup menu holds input while it is open; exit closes it too.
    while (QWidget* popup = QApplication::activePopupWidget()) {
        if (!popup->close()) break;
    }
}

bool ModalRunning() {
    ModalState& state = State();
    std::lock_guard lock(state.lock);
    return state.depth > 0;
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
