// The output log in the bottom-right pane: an ever-growing, read-only-to-the-
// program text that the host and the tools append time-stamped lines to.
#pragma once

#include <QPlainTextEdit>

namespace vx {

// Appends "[hh:mm:ss] " + text + line break at the very end of `edit`,
// whatever the user has selected, and scrolls to the newest line. Shared by
// the output log and the message popup, which must look alike.
void AppendStampedLine(QPlainTextEdit* edit, const QString& text);

class COutputMsgView : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit COutputMsgView(QWidget* parent = nullptr);

    void AddLine(const QString& text);
};

}  // namespace vx
