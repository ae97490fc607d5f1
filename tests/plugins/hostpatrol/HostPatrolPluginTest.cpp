// The built plug-in as the host loads it: the patrol for index 0 and its
// history for index 1, the patrol's page
// under the host's page parent, its icon from its own resources, and a clean
// unload after the tool is deleted. No sweep is started here.
#include <QFile>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include "PatrolFakes.h"

class HostPatrolPluginTest : public QObject {
    Q_OBJECT

private slots:
    // Qt's table of value types keeps, for the life of the process, the
    // description of a type from the first module that used it. A plug-in
    // that is unloaded and loaded again (as these cases do; the program
    // loads each plug-in once) must not be that module, or its successor
    // reads the description from unmapped memory. This test uses the types
    // its plug-in pages use before it loads a plug-in.
    void initTestCase() {
        QVERIFY(QMetaType::fromType<Qt::Alignment>().id() > 0);
        QVERIFY(QMetaType::fromType<Qt::ItemFlags>().id() > 0);
    }

    void loadCreateDeleteUnload() {
        void* library = dlopen(VX_HOSTPATROL_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        auto create = reinterpret_cast<CreateObjFunc>(dlsym(library, "CreateObj"));
        QVERIFY(create);

        FakeToolHost host;
        FakeTaskManager tasks;
        FakeHostOutput output;
        ToolHostContext context{&host, &tasks, &output, nullptr};
        CToolBase* tool = create(0, &context);
        QVERIFY(tool);
        CToolBase* history = create(1, &context);
        QVERIFY(history);
        QCOMPARE(history->GetToolInfo().name, QStringLiteral("搜索工具_主机历史"));
        QVERIFY(!history->GetToolInfo().icon.pixmap(32, 32).isNull());
        QCOMPARE(create(2, &context), nullptr);
        QCOMPARE(create(-1, &context), nullptr);
        // The two tools share one history; either may go first.
        delete history;

        const ToolInfo info = tool->GetToolInfo();
        QCOMPARE(info.name, QStringLiteral("搜索工具_主机巡测"));
        QVERIFY(!info.icon.pixmap(32, 32).isNull());
        auto* start = host.pageParent.findChild<QPushButton*>("1004");
        QVERIFY(start);
        QCOMPARE(start->text(), QStringLiteral("开始"));
        tool->RegisterTool();
        QCOMPARE(host.addedTools, QStringList{info.name});

        delete tool;
        QVERIFY(host.pageParent.findChildren<QWidget*>().isEmpty());
        QCOMPARE(tasks.GetTaskCount(QStringLiteral("主机巡测")), 0);
        QCOMPARE(dlclose(library), 0);
        // Nothing pins the library in memory once it is closed.
        QVERIFY(!dlopen(VX_HOSTPATROL_PLUGIN, RTLD_NOW | RTLD_NOLOAD));
    }

    // Two copies of the plug-in's code in one process (a test linking it and
    // the plug-in, or a plug-in loaded anew while the old one winds down)
    // each count their own store connections; Qt's table of connection
    // names is the process's. The second copy must not take over or drop
    // the first one's connection (Qt warns about a duplicate name, or about
    // a connection used off its thread).
    void twoCopiesKeepTheirOwnStoreConnections() {
        QTemporaryDir data;
        qputenv("VX_PROGRAM_DIR", QFile::encodeName(data.path() + "/"));
        // Beside the program's own data, never in a ToolDlls that a later
        // test would load from.
        const QString copy = data.filePath(QStringLiteral("VX_HostPatrol-copy.so"));
        QVERIFY(QFile::copy(VX_HOSTPATROL_PLUGIN, copy));
        static QStringList sqlWarnings;
        sqlWarnings.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
                if (text.contains("QSqlDatabase")) sqlWarnings << text;
            });
        const auto restore = qScopeGuard([&] {
            qInstallMessageHandler(previous);
            QFile::remove(copy);
            qunsetenv("VX_PROGRAM_DIR");
        });

        struct Copy {
            void* library = nullptr;
            FakeToolHost host;
            FakeTaskManager tasks;
            FakeHostOutput output;
            ToolHostContext context{&host, &tasks, &output, nullptr};
            CToolBase* tool = nullptr;
            QWidget* page = nullptr;
        };
        Copy copies[2];
        const QString files[2] = {VX_HOSTPATROL_PLUGIN, copy};
        for (int i = 0; i < 2; ++i) {
            Copy& c = copies[i];
            c.library = dlopen(QFile::encodeName(files[i]).constData(), RTLD_NOW | RTLD_LOCAL);
            QVERIFY2(c.library, dlerror());
            c.tool = reinterpret_cast<CreateObjFunc>(dlsym(c.library, "CreateObj"))(1, &c.context);
            QVERIFY(c.tool);
            for (QWidget* w : c.host.pageParent.findChildren<QWidget*>())
                if (QByteArray(w->metaObject()->className()).endsWith("CHostHistoryDlg")) c.page = w;
            QVERIFY(c.page);
            QSignalSpy loaded(c.page, SIGNAL(DevicesLoaded()));
            c.host.pageParent.show();
            c.page->show();  // opens the store
            QVERIFY(loaded.wait(5000));
        }
        QCOMPARE(sqlWarnings, QStringList{});
        // The first copy holds the file; the second is told so and goes on
        // without; the first still reads its own connection.
        QVERIFY(copies[0].output.logged.isEmpty());
        QCOMPARE(copies[1].output.logged.filter("正被另一个进程使用").size(), 1);
        QSignalSpy again(copies[0].page, SIGNAL(DevicesLoaded()));
        copies[0].page->hide();
        copies[0].page->show();  // reads the devices again
        QVERIFY(again.wait(5000));
        QVERIFY(copies[0].output.logged.isEmpty());

        for (Copy& c : copies) {
            delete c.tool;
            QCOMPARE(dlclose(c.library), 0);
        }
        QCOMPARE(sqlWarnings, QStringList{});
    }
};

QTEST_MAIN(HostPatrolPluginTest)
#include "HostPatrolPluginTest.moc"
