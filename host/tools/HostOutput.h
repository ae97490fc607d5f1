// Where tools' text goes: the output log, the status panes and the message
// popup of the document's main window.
#pragma once

#include <QObject>

#include "contract/ToolContract.h"

namespace vx {

class CVexmorDoc;

class CHostOutput : public ::CHostOutput {
public:
    // Lives on the thread that constructs it, which must be the UI thread.
    explicit CHostOutput(CVexmorDoc* doc);

    void OutputMsg(const QString& text) override;
    // From the UI thread the pane changes before this returns; from any other
    // thread a copy of the text is queued to the UI thread and the caller goes
    // on at once, so a worker never waits for a UI thread that may be waiting
    // for it. Dropped if the frame is gone by the time it arrives.
    void SetStatusText(int pane, const QString& text) override;
    void ShowMsg(const QString& text) override;

private:
    void SetStatusTextNow(int pane, const QString& text);

    CVexmorDoc* m_doc;  // not owned; outlives this object
    // Receiver of the queued status texts: its thread is the UI thread, and
    // texts still queued when it goes are discarded with it.
    QObject m_uiContext;
};

}  // namespace vx
