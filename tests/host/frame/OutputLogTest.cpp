// The output log and the message popup: time stamps, append-at-end, the
// popup's window kind, placement and close behaviour.
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "host/frame/MsgPopupDlg.h"
#include "host/frame/OutputMsgView.h"

using vx::CMsgPopupDlg;
using vx::COutputMsgView;

namespace {
const QRegularExpression kStamp(QStringLiteral("^\\[(\\d\\d):(\\d\\d):(\\d\\d)\\] "));

QStringList Lines(const QPlainTextEdit* edit) {
    QStringList lines = edit->toPlainText().split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}
}  // namespace

class OutputLogTest : public QObject {
    Q_OBJECT
private slots:
    void stampedLines();
    void appendGoesToEndWhateverTheSelection();
    void logNeverCountsAsModified();
    void popupIsAnAlwaysOnTopToolWindow();
    void popupSitsAboveTheBottomRightCorner();
    void popupCloseBoxEmptiesIt();
};

void OutputLogTest::stampedLines() {
    COutputMsgView view;
    CMsgPopupDlg popup;
    const QTime before = QTime::currentTime();
    for (const QString& m : {QStringLiteral("一"), QString(), QStringLiteral("a\r\nb")}) {
        view.AddLine(m);
        popup.ShowMsg(m);
    }
    const QTime after = QTime::currentTime();
    for (const QPlainTextEdit* edit : {static_cast<QPlainTextEdit*>(&view), popup.TextBox()}) {
        const QStringList lines = Lines(edit);
        // In call order; an empty text is a bare stamp; a CR LF inside a text
        // is one line break, and the continuation carries no stamp.
        QCOMPARE(lines.size(), 4);
        QStringList bodies;
        for (const QString& line : lines) {
            const QRegularExpressionMatch m = kStamp.match(line);
            bodies << (m.hasMatch() ? line.mid(m.capturedLength()) : QStringLiteral("~") + line);
            if (!m.hasMatch()) continue;
            const QTime stamped(m.captured(1).toInt(), m.captured(2).toInt(),
                                m.captured(3).toInt());
            QVERIFY(stamped >= QTime(before.hour(), before.minute(), before.second()));
            QVERIFY(stamped <= after);
        }
        QCOMPARE(bodies, (QStringList{"一", "", "a", "~b"}));
    }
}

void OutputLogTest::appendGoesToEndWhateverTheSelection() {
    COutputMsgView view;
    view.resize(300, 80);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    for (int i = 0; i < 40; ++i) view.AddLine(QStringLiteral("line %1").arg(i));
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(10);
    cursor.setPosition(30, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    view.verticalScrollBar()->setValue(0);

    view.AddLine(QStringLiteral("newest"));
    QVERIFY(Lines(&view).last().endsWith(QLatin1String("] newest")));
    QVERIFY(Lines(&view).at(1).endsWith(QLatin1String("] line 1")));
    QVERIFY(!view.textCursor().hasSelection());
    QTRY_COMPARE(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    QVERIFY(view.verticalScrollBar()->maximum() > 0);
}

void OutputLogTest::logNeverCountsAsModified() {
    COutputMsgView view;
    for (int i = 0; i < 500; ++i) view.AddLine(QStringLiteral("x"));
    QVERIFY(!view.document()->isModified());
    QCOMPARE(Lines(&view).size(), 500);
    // Appended lines are not user edits: undo must not take them away.
    QVERIFY(!view.document()->isUndoAvailable());
}

void OutputLogTest::popupIsAnAlwaysOnTopToolWindow() {
    CMsgPopupDlg popup;
    QCOMPARE(popup.windowTitle(), QStringLiteral("消息通知"));
    QCOMPARE(popup.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(popup.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!popup.isVisible());
    auto* box = popup.findChild<QPlainTextEdit*>(QStringLiteral("1010"));
    QVERIFY(box);
    QCOMPARE(box->property("vxId").toInt(), 1010);
    QVERIFY(!box->isReadOnly());
    QCOMPARE(box->geometry(), popup.rect());
}

void OutputLogTest::popupSitsAboveTheBottomRightCorner() {
    CMsgPopupDlg popup;
    popup.ShowMsg(QStringLiteral("192.168.0.7上线了"));
    QVERIFY(popup.isVisible());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect outer = popup.frameGeometry();
    QCOMPARE(outer.right(), screen.right());
    QCOMPARE(outer.bottom(), screen.bottom() - CMsgPopupDlg::kBottomMargin);
}

void OutputLogTest::popupCloseBoxEmptiesIt() {
    CMsgPopupDlg popup;
    popup.ShowMsg(QStringLiteral("first"));
    popup.ShowMsg(QStringLiteral("second"));
    QCOMPARE(Lines(popup.TextBox()).size(), 2);
    QVERIFY(popup.close());
    QVERIFY(!popup.isVisible());
    QVERIFY(popup.TextBox()->toPlainText().isEmpty());

    popup.ShowMsg(QStringLiteral("third"));
    QVERIFY(popup.isVisible());
    const QStringList lines = Lines(popup.TextBox());
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.first().endsWith(QLatin1String("] third")));
}

QTEST_MAIN(OutputLogTest)
#include "OutputLogTest.moc"
