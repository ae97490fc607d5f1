// The program as assistive technology walks it: every window and dialog, with
// the shipped plug-ins' pages, through Qt's accessibility interface. A control
// without a name is one a screen reader can only call "button" or "list".
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "host/app/VexmorApp.h"
#include "host/app/VexmorDoc.h"
#include "host/frame/MainFrame.h"
#include "host/frame/MsgPopupDlg.h"
#include "host/tools/ToolOptionsDlg.h"
#include "host/update/OnlineUpgradeDlg.h"
#include "platform/MessageBox.h"
#include "support/FakeProgramDir.h"

using vx::CMainFrame;

namespace {

// Controls a user acts on: what takes the focus, and buttons, lists, tabs and
// menu items, which may not. A scroll bar belongs to what it scrolls.
bool Interactive(const QAccessibleInterface* iface) {
    using A = QAccessible;
    static const QList<A::Role> roles{A::PushButton,   A::CheckBox, A::RadioButton, A::ComboBox,
                                      A::EditableText, A::List,     A::Table,       A::Tree,
                                      A::PageTab,      A::MenuItem, A::Link};
    return iface->role() != A::ScrollBar &&
           (roles.contains(iface->role()) || iface->state().focusable);
}

// Interactive controls without a name under `iface`. The cells of a list are
// its data, not controls of their own, and a combo box's drop-down list is
// part of the box: neither is walked further.
void CollectUnnamed(QAccessibleInterface* iface, QStringList* unnamed) {
    if (!iface || !iface->isValid()) return;
    if (Interactive(iface) && iface->text(QAccessible::Name).trimmed().isEmpty()) {
        const QObject* o = iface->object();
        *unnamed << QStringLiteral("role %1: %2 %3")
                        .arg(int(iface->role()))
                        .arg(o ? QString::fromLatin1(o->metaObject()->className()) : QString(),
                             o ? o->objectName() : QString());
    }
    if (iface->tableInterface() || iface->role() == QAccessible::ComboBox) return;
    for (int i = 0; i < iface->childCount(); ++i) CollectUnnamed(iface->child(i), unnamed);
}

QStringList Unnamed(QWidget* window) {
    QStringList unnamed;
    CollectUnnamed(QAccessible::queryAccessibleInterface(window), &unnamed);
    return unnamed;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        CMainFrame::OverrideTrayAvailability(false);
        vx::platform::SetMessageBoxInterceptor([](const QString&) {});
        const QDir shipped(qEnvironmentVariable("VX_BIN_DIR") + "/ToolDlls");
        const QStringList libraries = shipped.entryList({"*.so"}, QDir::Files);
        if (libraries.isEmpty()) QSKIP("no plug-ins built");
        for (const QString& f : libraries)
            QVERIFY(QFile::copy(shipped.filePath(f), m_dir.PluginDir() + f));
        QVERIFY(m_app.InitInstance());
    }
    void cleanupTestCase() {
        if (QPointer<CMainFrame> frame = m_app.Frame()) {
            frame->OnCommand(CMainFrame::ID_APP_EXIT);
            QTRY_VERIFY(frame.isNull());
        }
    }

    // Each window as it first shows; the main window holds every tool page.
    void everyControlHasAName_data() {
        QTest::addColumn<int>("command");  // opens a modal dialog; 0: a window of its own
        QTest::addColumn<QString>("window");
        QTest::newRow("main window and tool pages") << 0 << "main";
        QTest::newRow("tool options") << 0 << "options";
        QTest::newRow("message popup") << 0 << "popup";
        QTest::newRow("online upgrade") << 0 << "upgrade";
        QTest::newRow("tool display") << int(CMainFrame::ID_TOOL_DISPLAY) << "";
        QTest::newRow("task browse") << int(CMainFrame::ID_TASK_BROWSE) << "";
        QTest::newRow("components") << int(CMainFrame::ID_COMPONENTS) << "";
        QTest::newRow("update") << int(CMainFrame::ID_UPDATE) << "";
        QTest::newRow("about") << int(CMainFrame::ID_APP_ABOUT) << "";
    }
    void everyControlHasAName() {
        QFETCH(int, command);
        QFETCH(QString, window);
        CMainFrame* frame = m_app.Frame();
        QStringList unnamed{"not walked"};
        if (command) {
            QTimer::singleShot(0, [&unnamed] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                if (!dialog) return;
                unnamed = Unnamed(dialog);
                dialog->reject();
            });
            frame->OnCommand(command);
        } else if (window == "upgrade") {
            vx::COnlineUpgradeDlg upgrade;
            unnamed = Unnamed(&upgrade);
        } else {
            QWidget* shown = frame;
            if (window == "options") shown = m_app.Doc()->OptionsDlg();
            if (window == "popup") shown = m_app.Doc()->Popup();
            unnamed = Unnamed(shown);
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join('\n')));
    }

private:
    QTemporaryDir m_runtime;
    FakeProgramDir m_dir;
    vx::CVexmorApp m_app;
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
