// Two plug-in libraries in one process, each with the common library compiled
// in: each must keep its own settings store and section.
#include <QTemporaryDir>
#include <QtTest>

#include <dlfcn.h>

#include "contract/ToolContract.h"
#include "platform/ProfileFile.h"

namespace {

struct Library {
    void* handle = nullptr;
    CreateObjFunc create = nullptr;
};

Library Open(const char* name) {
    Library lib;
    const QByteArray path = QByteArray(VX_STORE_FIXTURE_DIR "/") + name;
    lib.handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (lib.handle) {
        lib.create = reinterpret_cast<CreateObjFunc>(dlsym(lib.handle, "CreateObj"));
    }
    return lib;
}

}  // namespace

class PluginStoreTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(m_dir.isValid());
        qputenv("VX_PROGRAM_DIR", m_dir.path().toUtf8());
        m_a = Open("VX_StoreFixtureA.so");
        m_b = Open("VX_StoreFixtureB.so");
        QVERIFY2(m_a.create && m_b.create, dlerror());
    }
    void cleanup() {
        for (Library* lib : {&m_a, &m_b}) {
            if (lib->handle) dlclose(lib->handle);
            *lib = {};
        }
        QFile::remove(m_dir.filePath("Vexmor.ini"));
    }

    void answersIndexZeroOnly() {
        ToolHostContext context;
        CToolBase* tool = m_a.create(0, &context);
        QVERIFY(tool);
        QCOMPARE(tool->GetToolInfo().name, QStringLiteral("测试_FixtureA"));
        QVERIFY(!m_a.create(1, &context));
        QVERIFY(!m_a.create(-1, &context));
        delete tool;
    }

    void storeSymbolsStayInsideEachLibrary() {
        QVERIFY(!dlsym(m_a.handle, "_ZN13CToolSettings3GetEv"));
        QVERIFY(!dlsym(m_b.handle, "_ZN13CToolSettings3GetEv"));
    }

    // Had the two libraries shared one store, B's constructor would have
    // renamed A's section and both values would land in FixtureB.
    void eachLibraryKeepsItsOwnStore() {
        ToolHostContext context;
        CToolBase* a = m_a.create(0, &context);
        CToolBase* b = m_b.create(0, &context);
        a->OnToolMessage(1, 11);
        b->OnToolMessage(1, 22);
        a->OnToolMessage(2, 0);
        b->OnToolMessage(2, 0);

        const vx::platform::ProfileFile ini = vx::platform::ProfileFile::Settings();
        QCOMPARE(ini.GetInt("FixtureA", "value", 0), 11);
        QCOMPARE(ini.GetInt("FixtureB", "value", 0), 22);
        QVERIFY(ini.GetString("FixtureA", "store", {}, 64) !=
                ini.GetString("FixtureB", "store", {}, 64));

        // A's destructor deletes A's store only.
        delete a;
        b->OnToolMessage(1, 33);
        QCOMPARE(ini.GetInt("FixtureA", "value", 0), 11);
        QCOMPARE(ini.GetInt("FixtureB", "value", 0), 33);
        delete b;
    }

private:
    QTemporaryDir m_dir;
    Library m_a, m_b;
};

QTEST_GUILESS_MAIN(PluginStoreTest)
#include "PluginStoreTest.moc"
