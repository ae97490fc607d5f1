// Where tools' text goes: the output log, the status panes and the message
// popup of the document's main window.
#pragma once

#include <QObject>

#include <functional>

#include "contract/ToolContract.h"

namespace vx {

class CVexmorDoc;

class CHostOutput : public ::CHostOutput {
public:
    // Lives on the thread that constructs it, which must be the UI thread.
    explicit CHostOutput(CVexmorDoc* doc);

    // Each operation acts at once on the UI thread. From any other thread a
    // copy of the text is queued to the UI thread and the caller goes on, so
    // a worker never waits for a UI thread that may be waiting for it (and a
    // tool that forgets the UI-thread rule for the log or the popup does not
    // touch widgets from its worker). Text for a frame that is gone by then is
    // dropped.
    void OutputMsg(const QString& text) override;
    void SetStatusText(int pane, const QString& text) override;
    void ShowMsg(const QString& text) override;

private:
    // False on the UI thread; otherwise queues `call` there and returns true.
    bool QueuedToUiThread(std::function<void()> call);

    CVexmorDoc* m_doc;  // not owned; outlives this object
    // Receiver of the queued status texts: its thread is the UI thread, and
    // texts still queued when it goes are discarded with it.
    QObject m_uiContext;
};

}  // namespace vx
