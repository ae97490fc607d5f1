// The one way this program runs a modal dialog or message box, in the host
// and in every plug-in.
//
// Exit can arrive while a modal runs: the tray menu is a popup that no modal
// blocks, and a desktop logout quits the application. Exit first ends every
// modal (EndAllModals), lets the nested loops unwind, and only then destroys
// the main frame. A dialog on the stack, or one whose owner is touched after
// exec() returns, would then be freed twice or written after being freed; so
// every modal is a heap object run here, and callers check a QPointer on
// themselves before touching anything after the call.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace vx::platform {

// Runs `dialog` (heap-allocated, usually a child of the caller's window)
// modally and deletes it, unless its parent went first. Returns exec()'s
// result, or 0 (rejected) when the dialog was ended or destroyed from outside.
// While exit is ending the running modals, a new one is not shown at all:
// it is deleted and 0 returned.
int RunModal(QDialog* dialog);

// Ends every modal dialog and message box that is running, whichever module
// started it (they all run through this library), innermost first, as rejected, and closes an open popup menu. Their exec()
// calls return once control is back in their own event loops.
void EndAllModals();

// True while at least one RunModal call, from any module, has not returned.
bool ModalRunning();

// "Choose a folder" (the program's folder browser) run through RunModal.
// Returns the chosen directory, or an empty string when cancelled or ended.
QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startDir = QString());
// "Save as" run through RunModal: the chosen file's path (replacing an
// existing file is confirmed in the dialog), or "" when cancelled or ended.
QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& startPath,
                       const QString& filter);

}  // namespace vx::platform
