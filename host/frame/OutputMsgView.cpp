#include "host/frame/OutputMsgView.h"

#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>
#include <QTime>

namespace vx {

void AppendStampedLine(QPlainTextEdit* edit, const QString& text) {
    const QTime now = QTime::currentTime();
    const QString stamp =
        QString::asprintf("[%02d:%02d:%02d] ", now.hour(), now.minute(), now.second());
    // A CR LF pair would make two paragraphs in the document; the log keeps
    // the author's line breaks as single breaks.
    QString body = text;
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));

    // The line goes after everything, whatever the user had selected, and the
    // caret follows it so the user's selection is not extended by accident.
    QTextCursor cursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    edit->setTextCursor(cursor);
    edit->ensureCursorVisible();
    // An appended line carries no undo. Switching undo off for the insert
    // also empties the history, so what the user typed before it cannot be
    // undone either: an undo step recorded before the line would land at
    // shifted positions.
    const bool undo = edit->document()->isUndoRedoEnabled();
    edit->document()->setUndoRedoEnabled(false);
    cursor.insertText(stamp + body + QLatin1Char('\n'));
    edit->document()->setUndoRedoEnabled(undo);
    edit->setTextCursor(cursor);

    // Scrolling later lets the widget lay the new line out first.
    QPointer<QPlainTextEdit> guard(edit);
    QMetaObject::invokeMethod(
        edit,
        [guard] {
            if (guard) guard->verticalScrollBar()->setValue(guard->verticalScrollBar()->maximum());
        },
        Qt::QueuedConnection);
}

COutputMsgView::COutputMsgView(QWidget* parent) : QPlainTextEdit(parent) {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(12);
    font.setStyleHint(QFont::TypeWriter, QFont::PreferMatch);
    setFont(font);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // The pane has no caption; a screen reader needs a name for it.
    setAccessibleName(tr("输出信息"));
}

void COutputMsgView::AddLine(const QString& text) {
    AppendStampedLine(this, text);
    // The log is not a document the user saves; keep exit free of prompts.
    document()->setModified(false);
}

}  // namespace vx
