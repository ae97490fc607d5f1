// The built plug-in as the host loads it: one tool for index 0 with its name,
// icon and page, a clean unload after the tool is deleted, and its version.
#include <QPushButton>
#include <QTest>

#include <dlfcn.h>

#include "ShareFakes.h"
#include "platform/VersionInfo.h"
#include "support/FakeProgramDir.h"

class ShareSetterPluginTest : public QObject {
    Q_OBJECT

private slots:
    void loadCreateDeleteUnload() {
        FakeProgramDir dir;
        void* library = dlopen(VX_SHARESETTER_PLUGIN, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        auto create = reinterpret_cast<CreateObjFunc>(dlsym(library, "CreateObj"));
        QVERIFY(create);
        FakeToolHost host;
        FakeHostOutput output;
        ToolHostContext context{&host, nullptr, &output, nullptr};
        CToolBase* tool = create(0, &context);
        QVERIFY(tool);
        QCOMPARE(create(1, &context), nullptr);
        const ToolInfo info = tool->GetToolInfo();
        QCOMPARE(info.name, QStringLiteral("搜索工具_设置共享资源"));
        QVERIFY(!info.icon.pixmap(32, 32).isNull());
        auto* add = host.pageParent.findChild<QPushButton*>("1004");
        QVERIFY(add && add->text() == QStringLiteral("添加共享"));
        delete tool;
        QVERIFY(host.pageParent.findChildren<QWidget*>().isEmpty());
        QCOMPARE(dlclose(library), 0);
        using vx::platform::QueryVersionString;
        QCOMPARE(QueryVersionString(VX_SHARESETTER_PLUGIN, "FileVersion"), "1, 0, 0, 2");
        QCOMPARE(QueryVersionString(VX_SHARESETTER_PLUGIN, "ProductVersion"), "1, 0, 0, 1");
        QVERIFY(!dlopen(VX_SHARESETTER_PLUGIN, RTLD_NOW | RTLD_NOLOAD));
    }
};

QTEST_MAIN(ShareSetterPluginTest)
#include "ShareSetterPluginTest.moc"
