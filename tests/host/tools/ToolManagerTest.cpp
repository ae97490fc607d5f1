// The tool manager against real fixture libraries and in-process fake tools:
// which files become plug-ins, how "工具显示" orders and hides tools, message
// routing, and the order of teardown.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include "host/tools/ToolManager.h"
#include "platform/ElfCheck.h"
#include "platform/MessageBox.h"
#include "platform/ProfileFile.h"
#include "support/FakeProgramDir.h"
#include "platform/VersionInfo.h"

using Manager = vx::CToolManager;

namespace {

class FakeToolHost : public CToolHost {
public:
    QWidget* GetPageParent() override { return &pageParent; }
    QWidget* GetOptionParent() override { return nullptr; }
    void AddTool(const QString& name, const QIcon&, QWidget*) override { added << name; }
    void AddOptionPage(const QString&, const QIcon&, COptionPage*) override {}

    QWidget pageParent;
    QStringList added;
};

// Records its messages and its destruction in `journal`.
class FakeTool : public CToolBase {
public:
    FakeTool(ToolHostContext* context, const QString& name, QStringList* journal)
        : CToolBase(context), m_journal(journal) {
        m_name = name;
    }
    ~FakeTool() override { *m_journal << QStringLiteral("delete ") + m_name; }
    void OnToolMessage(int a, int b) override {
        *m_journal << QStringLiteral("message %1 %2 %3").arg(m_name).arg(a).arg(b);
    }

private:
    QStringList* m_journal;
};

QStringList EntryNames(Manager& m) {
    QStringList names;
    Manager::ToolEntry* e = nullptr;
    for (bool ok = m.FirstEntry(e); ok; ok = m.NextEntry(e)) names << e->tool->GetToolInfo().name;
    return names;
}

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

}  // namespace

class ToolManagerTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_host = std::make_unique<FakeToolHost>();
        m_context = ToolHostContext{};
        m_context.toolHost = m_host.get();
        m_boxes.clear();
        vx::platform::SetMessageBoxInterceptor([this](const QString& t) { m_boxes << t; });
    }
    void cleanup() { vx::platform::SetMessageBoxInterceptor({}); }

    // Which files of ToolDlls become plug-ins, and what each gives.
    void loadsOnlyLibrariesWithFactory_data() {
        QTest::addColumn<QStringList>("fixtures");  // "folder/file[>as]"
        QTest::addColumn<QStringList>("tools");
        QTest::addColumn<int>("libraries");

        QTest::newRow("two tools, stops at first null")
            << QStringList{"pair/fx_pair.so"} << QStringList{"测试_工具甲", "测试_工具乙"} << 1;
        QTest::newRow("null for index 0 keeps the library")
            << QStringList{"nullfirst/fx_nullfirst.so"} << QStringList{} << 1;
        QTest::newRow("no CreateObj")
            << QStringList{"noexport/fx_noexport.so"} << QStringList{} << 0;
        QTest::newRow("not a library")
            << QStringList{"notlib/NotALibrary.so"} << QStringList{} << 0;
        QTest::newRow("upper-case suffix")
            << QStringList{"upper/Upper.SO"} << QStringList{"测试_Upper.SO"} << 1;
        QTest::newRow(".so.bak") << QStringList{"bak/Backup.so.bak"} << QStringList{} << 0;
        QTest::newRow("no suffix")
            << QStringList{"named/fx_named.so>fx_named"} << QStringList{} << 0;
        QTest::newRow("everything at once")
            << QStringList{"pair/fx_pair.so",         "nullfirst/fx_nullfirst.so",
                           "noexport/fx_noexport.so", "notlib/NotALibrary.so",
                           "upper/Upper.SO",          "bak/Backup.so.bak",
                           "search/fx_search.so",     "nofolder/fx_nofolder.so"}
            << QStringList{"测试_工具甲", "测试_工具乙", "测试_Upper.SO", "搜索工具_搜索计算机",
                           "无下划线工具"}
            << 5;
    }
    void loadsOnlyLibrariesWithFactory() {
        QFETCH(QStringList, fixtures);
        QFETCH(QStringList, tools);
        QFETCH(int, libraries);
        FakeProgramDir dir;
        for (const QString& f : fixtures) {
            const QStringList parts = f.split('>');
            const QString folder = parts[0].section('/', 0, 0), file = parts[0].section('/', 1);
            QVERIFY2(dir.AddFixture(folder, file, parts.value(1)), qPrintable(f));
        }
        {
            Manager m;
            m.CreateTools(&m_context);
            QCOMPARE(Sorted(EntryNames(m)), Sorted(tools));
            QCOMPARE(m.LibraryCount(), libraries);
            // A library without the factory is released at once, not at exit.
            const QStringList log = dir.ReadLog();
            for (const QString& l : log)
                if (l.startsWith("load fx_noexport.so"))
                    QVERIFY(log.contains("unload fx_noexport.so"));
        }
        // The host stops asking at the first null and never calls past it.
        const QStringList log = dir.ReadLog();
        if (fixtures.contains("nullfirst/fx_nullfirst.so")) {
            QVERIFY(log.contains("call fx_nullfirst.so 0"));
            QVERIFY(!log.contains("call fx_nullfirst.so 1"));
        }
        if (fixtures.contains("pair/fx_pair.so")) {
            QVERIFY(log.contains("call fx_pair.so 2"));
            QVERIFY(!log.contains("call fx_pair.so 3"));
        }
        QVERIFY(m_boxes.isEmpty());
    }

    // A folder that is not there, not a folder, or holds no libraries: no
    // plug-in tools, nothing shown, and the current directory is unchanged.
    void survivesBadPluginFolder_data() {
        QTest::addColumn<QString>("shape");
        QTest::newRow("missing") << "missing";
        QTest::newRow("a file") << "file";
        QTest::newRow("unreadable") << "unreadable";
        QTest::newRow("only directories, text and a FIFO") << "junk";
    }
    void survivesBadPluginFolder() {
        QFETCH(QString, shape);
        FakeProgramDir dir;
        const QString plugins = dir.PluginDir();
        QDir().rmdir(plugins);
        if (shape == "file") {
            QFile f(plugins.chopped(1));
            QVERIFY(f.open(QIODevice::WriteOnly));
        } else if (shape == "unreadable") {
            if (::geteuid() == 0) QSKIP("root reads every folder");
            QVERIFY(QDir().mkdir(plugins));
            QVERIFY(QFile::setPermissions(plugins, QFileDevice::Permissions{}));
        } else if (shape == "junk") {
            QVERIFY(QDir().mkpath(plugins + "sub.so"));
            QFile f(plugins + "readme.txt");
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(dir.AddFixture("notlib", "NotALibrary.so", "empty.so"));
            // Opening a FIFO for reading waits for a writer that never comes.
            QCOMPARE(::mkfifo(QFile::encodeName(plugins + "pipe.so").constData(), 0600), 0);
        }
        const QString before = QDir::currentPath();
        {
            Manager m;
            m.CreateTools(&m_context);
            QCOMPARE(m.EntryCount(), 0);
            QCOMPARE(m.LibraryCount(), 0);
        }
        QCOMPARE(QDir::currentPath(), before);
        QFile::setPermissions(
            plugins, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(m_boxes.isEmpty());
    }

    // "禁用组件" lists whole names, case-sensitively: no name hides inside another.
    void disabledListMatchesWholeNames_data() {
        QTest::addColumn<QString>("disabled");
        QTest::addColumn<QStringList>("loaded");
        const QStringList all{"a.so", "vx_a.so", "VX_A.so"};
        QTest::newRow("empty") << "" << all;
        QTest::newRow("one listed, not its tail") << "vx_a.so;" << QStringList{"a.so", "VX_A.so"};
        QTest::newRow("other case only") << "VX_A.so;" << QStringList{"a.so", "vx_a.so"};
        QTest::newRow("inside a longer name") << "vx_vx_a.so;xxa.soyy;" << all;
        QTest::newRow("last name without its ;") << "b.so;a.so" << QStringList{"vx_a.so", "VX_A.so"};
    }
    void disabledListMatchesWholeNames() {
        QFETCH(QString, disabled);
        QFETCH(QStringList, loaded);
        FakeProgramDir dir;
        for (const char* as : {"a.so", "vx_a.so", "VX_A.so"})
            QVERIFY(dir.AddFixture("named", "fx_named.so", as));
        if (!disabled.isNull())
            QVERIFY(dir.WriteIni("[组件管理]\r\n禁用组件=" + disabled + "\r\n"));
        Manager m;
        m.CreateTools(&m_context);
        QStringList expected;
        for (const QString& l : loaded) expected << "测试_" + l;
        QCOMPARE(Sorted(EntryNames(m)), Sorted(expected));
    }

    // A library that a plug-in needs is found beside it in ToolDlls, through
    // the plug-in's run path, and never in the working directory, which
    // loading leaves as it was.
    void findsLibraryBesidePlugin_data() {
        QTest::addColumn<bool>("beside");
        QTest::newRow("beside the plug-in") << true;
        QTest::newRow("in the working directory") << false;
    }
    void findsLibraryBesidePlugin() {
        QFETCH(bool, beside);
        FakeProgramDir dir;
        QTemporaryDir work;
        const QString library = "libfx_besidelib.so.1";
        QVERIFY(dir.AddFixture("beside", "fx_beside.so"));
        QVERIFY(QFile::copy(VX_FIXTURE_DIR "/beside/" + library,
                            (beside ? dir.PluginDir() : work.path() + '/') + library));
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        Manager m;
        m.CreateTools(&m_context);
        QCOMPARE(QDir::currentPath(), work.path());
        QDir::setCurrent(before);
        QCOMPARE(EntryNames(m), beside ? QStringList{"测试_旁边"} : QStringList{});
        const QStringList found = LinesStartingWith(dir.ReadLog(), "beside ");
        QCOMPARE(found.size(), beside ? 1 : 0);
        if (beside)
            QCOMPARE(QFileInfo(found[0].section(' ', 1)).canonicalFilePath(),
                     QFileInfo(dir.PluginDir() + library).canonicalFilePath());
    }

    // With per-user folders both ToolDlls load, a user's file hiding the
    // program's file of the same name in any case, and "禁用组件" applies to
    // either.
    void loadsUserCopiesOverProgramCopies_data() {
        QTest::addColumn<QString>("disabled");
        QTest::addColumn<QStringList>("loaded");  // "name folder"
        QTest::newRow("none disabled")
            << "" << QStringList{"vx_a.so program", "vx_b.so user", "vx_c.so user"};
        QTest::newRow("user copy disabled")
            << "vx_b.so;" << QStringList{"vx_a.so program", "vx_c.so user"};
        QTest::newRow("hidden copy disabled")
            << "VX_B.so;" << QStringList{"vx_a.so program", "vx_b.so user", "vx_c.so user"};
    }
    void loadsUserCopiesOverProgramCopies() {
        QFETCH(QString, disabled);
        QFETCH(QStringList, loaded);
        FakeSharedProgramDir dir;
        vx::platform::ProfileFile(dir.UserIniPath()).WriteString("组件管理", "禁用组件", disabled);
        for (const char* as : {"vx_a.so", "VX_B.so"})
            QVERIFY(dir.AddFixture("named", "fx_named.so", as));
        for (const char* as : {"vx_b.so", "vx_c.so"})
            QVERIFY(dir.AddFixture("named", "fx_named.so", as, dir.UserPluginDir()));
        {
            Manager m;
            m.CreateTools(&m_context);
        }
        const QString user = QDir(dir.UserPluginDir()).canonicalPath();
        QStringList got;
        for (const QString& l : LinesStartingWith(dir.ReadLog(), "load ")) {
            const QString folder = QFileInfo(l.section(" from ", 1)).canonicalPath();
            got << l.section(' ', 1, 1) + (folder == user ? " user" : " program");
        }
        QCOMPARE(Sorted(got), loaded);
    }

    // "工具显示" values: order before the first comma, visible after it, atoi
    // style, at most nine bytes read.
    void parsesDisplaySetting_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");  // null: no key
        QTest::addColumn<bool>("plugin");
        QTest::addColumn<int>("order");
        QTest::addColumn<bool>("visible");

        const QString t = "测试_工具";
        QTest::newRow("no key") << t << QString() << true << 0 << true;
        QTest::newRow("order and hidden") << t << "3,0" << true << 3 << false;
        QTest::newRow("blanks and sign") << t << " +7 , 2" << true << 7 << true;
        QTest::newRow("trailing garbage") << t << "12abc,1x" << true << 12 << true;
        QTest::newRow("no digits") << t << "abc,def" << true << 0 << false;
        QTest::newRow("no comma: whole is visible") << t << "5" << true << 0 << true;
        QTest::newRow("empty visible") << t << "1," << true << 1 << false;
        QTest::newRow("second comma ignored") << t << "1,2,0" << true << 1 << true;
        QTest::newRow("cut loses the comma") << t << "123456789,0" << true << 0 << true;
        QTest::newRow("cut leaves empty visible") << t << "00000002,1" << true << 2 << false;
        QTest::newRow("search tool default")
            << "搜索工具_搜索计算机" << QString() << true << -1 << true;
        QTest::newRow("search tool explicit 0") << "x_搜索计算机们"
                                                << "0,0" << true << -1 << false;
        QTest::newRow("search tool own order") << "搜索计算机"
                                               << "3,1" << true << 3 << true;
        QTest::newRow("built-in ignores setting") << t << "1,0" << false << 65535 << true;
    }
    void parsesDisplaySetting() {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(bool, plugin);
        QFETCH(int, order);
        QFETCH(bool, visible);
        FakeProgramDir dir;
        QString ini = "garbage line without equals\r\n[工具显示]\r\n=nameless\r\n";
        if (!value.isNull()) ini += name + "=" + value + "\r\n";
        ini += "[other]\r\n" + name + "=9,9\r\n";
        QVERIFY(dir.WriteIni(ini));
        QStringList journal;
        Manager m;
        m.AddToolEntry(new FakeTool(&m_context, name, &journal), plugin);
        Manager::ToolEntry* e = nullptr;
        QVERIFY(m.FirstEntry(e));
        QCOMPARE(e->order, order);
        QCOMPARE(e->visible, visible);
        QVERIFY(!m.NextEntry(e));
    }

    // Registration: stable sort by order, hidden tools skipped, and a second
    // registration (after a rebuild) registers again.
    void registersVisibleToolsInStableOrder() {
        FakeProgramDir dir;
        QVERIFY(dir.WriteIni("[工具显示]\r\n乙=2,1\r\n丙=1,1\r\n丁=0,0\r\n戊=1,1\r\n"));
        QStringList journal;
        Manager m;
        for (const char* n : {"甲", "乙", "丙", "丁", "搜索计算机", "戊", "己"})
            m.AddToolEntry(new FakeTool(&m_context, n, &journal), true);
        m.AddToolEntry(new FakeTool(&m_context, "链接一", &journal), false);
        m.AddToolEntry(new FakeTool(&m_context, "链接二", &journal), false);
        QCOMPARE(EntryNames(m), (QStringList{"甲", "乙", "丙", "丁", "搜索计算机", "戊", "己",
                                             "链接一", "链接二"}));
        m.RegisterVisibleTools();
        const QStringList expected{"搜索计算机", "甲", "己", "丙", "戊", "乙", "链接一", "链接二"};
        QCOMPARE(m_host->added, expected);
        QCOMPARE(EntryNames(m), (QStringList{"搜索计算机", "甲", "丁", "己", "丙", "戊", "乙",
                                             "链接一", "链接二"}));
        m_host->added.clear();
        m.RegisterVisibleTools();
        QCOMPARE(m_host->added, expected);
    }

    // The cursor hands out live entries: changes made through it (as the tool
    // display dialog makes them) decide the next registration.
    void entryCursorEditsInPlace() {
        QStringList journal;
        Manager m;
        Manager::ToolEntry* e = nullptr;
        QVERIFY(!m.FirstEntry(e));
        QVERIFY(!m.NextEntry(e));
        m.AddToolEntry(new FakeTool(&m_context, "一", &journal), false);
        m.AddToolEntry(new FakeTool(&m_context, "二", &journal), false);
        QVERIFY(m.FirstEntry(e));
        e->order = 9;
        QVERIFY(m.NextEntry(e));
        e->order = 1;
        e->visible = false;
        QVERIFY(!m.NextEntry(e));
        QVERIFY(!m.NextEntry(e));  // stays at the end
        m.RegisterVisibleTools();
        QCOMPARE(m_host->added, QStringList{"一"});
        QCOMPARE(EntryNames(m), (QStringList{"二", "一"}));
        QVERIFY(m.FirstEntry(e));  // restarts after reaching the end
        QCOMPARE(e->tool->GetToolInfo().name, QString("二"));
    }

    void routesToolMessages_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("empty reaches all, hidden too")
            << "" << QStringList{"message A 7 -1", "message B 7 -1", "message A 7 -1"}
            << QStringList{};
        QTest::newRow("hidden tool by name")
            << "B" << QStringList{"message B 7 -1"} << QStringList{};
        QTest::newRow("first of duplicates only")
            << "A" << QStringList{"message A 7 -1"} << QStringList{};
        QTest::newRow("unknown") << "Z" << QStringList{} << QStringList{"找不到工具[Z]"};
        QTest::newRow("case matters") << "a" << QStringList{} << QStringList{"找不到工具[a]"};
    }
    void routesToolMessages() {
        QFETCH(QString, name);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, boxes);
        FakeProgramDir dir;
        QVERIFY(dir.WriteIni("[工具显示]\r\nB=0,0\r\n"));
        QStringList journal;
        Manager m;
        m.AddToolEntry(new FakeTool(&m_context, "A", &journal), true);
        m.AddToolEntry(new FakeTool(&m_context, "B", &journal), true);
        m.AddToolEntry(new FakeTool(&m_context, "A", &journal), true);
        m.AddToolEntry(new FakeTool(&m_context, "文件夹_工具", &journal), true);
        m.RegisterVisibleTools();
        journal.clear();
        m.SendToolMessage(name, 7, -1);
        QStringList got = journal;
        if (name.isEmpty()) got.removeAll("message 文件夹_工具 7 -1");
        QCOMPARE(got, messages);
        QCOMPARE(m_boxes, boxes);
    }

    // A library cut short, built for another machine, or text named like one
    // is skipped; the intact plug-in beside it always loads. A cut library
    // that reached dlopen would raise SIGBUS and end this test.
    void skipsDamagedLibraries() {
        const QString source = QStringLiteral(VX_FIXTURE_DIR "/named/fx_named.so");
        QFile f(source);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray whole = f.readAll();
        QVERIFY(whole.size() > qsizetype(sizeof(ElfW(Ehdr))));

        // Every header boundary, a byte either side, and a spread of lengths.
        const auto* eh = reinterpret_cast<const ElfW(Ehdr)*>(whole.constData());
        QList<qsizetype> cuts{0, 1, 4, 16, 63, 64, 65, 1000, 20000, whole.size() - 1};
        const auto around = [&cuts](quint64 at) {
            cuts << qsizetype(at) - 1 << qsizetype(at) << qsizetype(at) + 1;
        };
        for (int i = 0; i <= eh->e_phnum; ++i) around(eh->e_phoff + quint64(i) * eh->e_phentsize);
        for (int i = 0; i < eh->e_phnum; ++i) {
            const auto* ph =
                reinterpret_cast<const ElfW(Phdr)*>(whole.constData() + eh->e_phoff) + i;
            around(ph->p_offset);
            around(ph->p_offset + ph->p_filesz);
        }
        for (int i = 0; i <= eh->e_shnum; ++i) around(eh->e_shoff + quint64(i) * eh->e_shentsize);
        for (int i = 1; i < 40; ++i) cuts << whole.size() * i / 40;

        // The same library claiming another class or machine.
        QByteArray other32 = whole, otherMachine = whole;
        other32[EI_CLASS] = ELFCLASS32;
        reinterpret_cast<ElfW(Ehdr)*>(otherMachine.data())->e_machine =
            eh->e_machine == EM_AARCH64 ? EM_X86_64 : EM_AARCH64;

        QList<QByteArray> damaged{other32, otherMachine, "VX_Trunc is text, not a library\n"};
        for (qsizetype n : cuts)
            if (n >= 0 && n < whole.size()) damaged << whole.left(n);
        for (const QByteArray& bytes : damaged) {
            FakeProgramDir dir;
            QVERIFY(dir.AddFixture("pair", "fx_pair.so"));
            QFile cut(dir.PluginDir() + "VX_Trunc.so");
            QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write(bytes) == bytes.size());
            cut.close();
            Manager m;
            m.CreateTools(&m_context);
            QVERIFY2(m.LibraryCount() == 1, qPrintable(QString::number(bytes.size())));
            QCOMPARE(Sorted(EntryNames(m)), Sorted({"测试_工具甲", "测试_工具乙"}));
        }
        // The check passes the whole file.
        QVERIFY(vx::platform::IsWholeSharedObject(source));
    }

    // A plug-in stamped with another platform library version, or with none,
    // is refused before any of its code runs, with a warning that names it;
    // the good plug-in beside it loads.
    void refusesOtherPlatformVersion_data() {
        QTest::addColumn<QString>("fixture");
        QTest::addColumn<QString>("recorded");
        QTest::newRow("another version") << "otherplatform/fx_otherplatform.so" << "version 999";
        QTest::newRow("no stamp") << "nostamp/fx_nostamp.so" << "(none recorded)";
    }
    void refusesOtherPlatformVersion() {
        QFETCH(QString, fixture);
        QFETCH(QString, recorded);
        const QString file = fixture.section('/', 1);
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("pair", "fx_pair.so"));
        QVERIFY(dir.AddFixture(fixture.section('/', 0, 0), file));
        QVERIFY(vx::platform::ReadPlatformStamp(dir.PluginDir() + "fx_pair.so") ==
                vx::platform::PlatformLibraryVersion());

        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& where, const QString& text) {
                if (type == QtWarningMsg && qstrcmp(where.category, "vx.tools") == 0)
                    warnings << text;
            });
        {
            Manager m;
            m.CreateTools(&m_context);
            QCOMPARE(m.LibraryCount(), 1);
            QCOMPARE(Sorted(EntryNames(m)), Sorted({"测试_工具甲", "测试_工具乙"}));
        }
        qInstallMessageHandler(previous);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].contains("refused") && warnings[0].contains(file) &&
                     warnings[0].contains(recorded),
                 qPrintable(warnings[0]));
        QVERIFY(!dir.ReadLog().contains("load " + file));
    }

    // Every tool is deleted, in entry order, before any library is unloaded;
    // libraries go in load order.
    void deletesToolsBeforeUnloadingLibraries() {
        FakeProgramDir dir;
        QVERIFY(dir.AddFixture("pair", "fx_pair.so"));
        QVERIFY(dir.AddFixture("search", "fx_search.so"));
        QVERIFY(dir.AddFixture("named", "fx_named.so"));
        QVERIFY(dir.AddFixture("nullfirst", "fx_nullfirst.so"));
        QStringList expectedDeletes;
        {
            QStringList journal;
            Manager m;
            m.CreateTools(&m_context);
            m.AddToolEntry(new FakeTool(&m_context, "链接", &journal), false);
            m.RegisterVisibleTools();
            for (const QString& n : EntryNames(m))
                if (n != "链接") expectedDeletes << "delete " + n;
            QCOMPARE(expectedDeletes.first(), QString("delete 搜索工具_搜索计算机"));
            QVERIFY(LinesStartingWith(dir.ReadLog(), "unload").isEmpty());
        }
        const QStringList log = dir.ReadLog();
        const QStringList deletes = LinesStartingWith(log, "delete ");
        QCOMPARE(deletes, expectedDeletes);
        QStringList loadOrder;
        for (const QString& l : LinesStartingWith(log, "load ")) loadOrder << l.section(' ', 1, 1);
        QStringList unloadOrder;
        for (const QString& l : LinesStartingWith(log, "unload "))
            unloadOrder << l.section(' ', 1, 1);
        QCOMPARE(unloadOrder, loadOrder);
        QCOMPARE(loadOrder.size(), 4);
        const qsizetype lastDelete = log.indexOf(deletes.last());
        const qsizetype firstUnload = log.indexOf(LinesStartingWith(log, "unload ").first());
        QVERIFY2(lastDelete < firstUnload, qPrintable(log.join('\n')));
    }

private:
    std::unique_ptr<FakeToolHost> m_host;
    ToolHostContext m_context;
    QStringList m_boxes;
};

QTEST_MAIN(ToolManagerTest)
#include "ToolManagerTest.moc"
