// The program's message boxes: OK button only, titled with the application
// title "Vexmor". Every box goes through here so tests can see it instead.
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace vx::platform {

// Shows `text` modally through RunModal (platform/Modal.h), or hands it to the
// installed interceptor. When the
// environment names a file in VX_MESSAGEBOX_LOG, the text is appended there
// as a UTF-8 line instead: tests of the whole program read their boxes there.
// False when exit ended the box (or kept it from showing): the program is
// closing, and the caller should not go on with what the box interrupted.
bool ShowMessageBox(const QString& text, QWidget* parent = nullptr);

// Tests: route boxes to `interceptor` instead of showing them; an empty
// function restores the real box. Affects the module that calls it.
void SetMessageBoxInterceptor(std::function<void(const QString&)> interceptor);

// A question with the buttons 是 and 否, run like ShowMessageBox. True only
// when the user answered 是: closing the box, exit, and the VX_MESSAGEBOX_LOG
// route (which logs the text) all answer 否.
bool AskYesNo(const QString& text, QWidget* parent = nullptr);
// Tests: answer questions with `interceptor` instead; empty restores the box.
void SetQuestionInterceptor(std::function<bool(const QString&)> interceptor);

}  // namespace vx::platform
