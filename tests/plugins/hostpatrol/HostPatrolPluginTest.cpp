// The built plug-in as the host loads it: the patrol for index 0 and its
// history for index 1, the patrol's page
// under the host's page parent, its icon from its own resources, and a clean
// unload after the tool is deleted. No sweep is started here.
#include <QPushButton>
#include <QTest>

#include <dlfcn.h>

#include "PatrolFakes.h"

class HostPatrolPluginTest : public QObject {
    Q_OBJECT

private slots:
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
};

QTEST_MAIN(HostPatrolPluginTest)
#include "HostPatrolPluginTest.moc"
