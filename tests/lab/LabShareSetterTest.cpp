// The share setter page on the lab's usershare host: folders it shares are
// read as a guest from the workstation namespace, never written; duplicates,
// expiry and "本机所有共享" against the real server.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "lab/LabSupport.h"
#include "platform/MessageBox.h"
#include "platform/SmbBrowser.h"
#include "platform/UserShares.h"
#include "plugins/common/SortListCtrl.h"
#include "plugins/sharesetter/ShareFakes.h"
#include "plugins/sharesetter/ShareSetterDlg.h"
#include "plugins/sharesetter/ShareSetterTool.h"
#include "support/FakeProgramDir.h"

using vx::lab::Lab;
using vx::lab::RunCommand;
using vx::sharesetter::CShareSetterDlg;
using vx::sharesetter::CShareSetterTool;

namespace {

const QStringList kNames{"vx lab 共享", "vxdup", "vxexpire", "vxother"};

int Usershare(const QStringList& args, QString* out = nullptr) {
    return RunCommand(QStringList{"net", "usershare"} + args, out);
}

}  // namespace

class LabShareSetterTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeProgramDir m_program;
    FakeToolHost m_host;
    FakeHostOutput m_output;
    ToolHostContext m_context{&m_host, nullptr, &m_output, nullptr};
    std::unique_ptr<CShareSetterTool> m_tool;
    QStringList m_boxes;

    CShareSetterDlg* Page() const { return m_tool->Page(); }
    // A folder readable by the guest account, holding hello.txt.
    QString Folder(const QString& relative) {
        const QString path = m_dir.filePath(relative);
        QDir().mkpath(path);
        for (QString p = path; p.size() > m_dir.path().size(); p = QFileInfo(p).path())
            QFile::setPermissions(p, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                         QFileDevice::ExeOther);
        QFile file(path + "/hello.txt");
        file.open(QIODevice::WriteOnly);
        file.write("vexmor lab\n");
        return path;
    }
    void Add(const QString& path, int duration) {
        Page()->findChild<QLineEdit*>("1001")->setText(path);
        Page()->findChild<QComboBox*>("1003")->setCurrentIndex(duration);
        Page()->findChild<QPushButton*>("1004")->click();
    }
    // smbclient as a guest from the workstation namespace.
    int Guest(const QStringList& args, QString* out = nullptr) {
        return RunCommand(QStringList{"ip", "netns", "exec", Lab().WorkstationNamespace(),
                                      "smbclient", "-N", "-s", m_dir.filePath("client.conf")} +
                              args,
                          out);
    }
    QString Service(const QString& name) const {
        return "//" + Lab().Value("VXLAB_USERSHARE_ADDR") + "/" + name;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ExeOther);
        QFile conf(m_dir.filePath("client.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        qputenv("SMB_CONF_PATH", Lab().Value("VXLAB_USERSHARE_CONF").toLocal8Bit());
        for (const QString& name : kNames) Usershare({"delete", "--", name});
        vx::platform::SetMessageBoxInterceptor([this](const QString& text) { m_boxes << text; });
        m_tool = std::make_unique<CShareSetterTool>(&m_context);
    }
    void cleanupTestCase() {
        m_tool.reset();
        for (const QString& name : kNames) Usershare({"delete", "--", name});
        vx::platform::SetMessageBoxInterceptor({});
    }

    void guestReadsButNeverWrites() {
        const QString folder = Folder("read/vx lab 共享");
        Add(folder, 0);
        QCOMPARE(m_output.logged.last(),
                 QStringLiteral("共享文件夹%1成功,共享名为vx lab 共享").arg(folder));
        QString listing;
        QCOMPARE(Guest({"-g", "-L", "//" + Lab().Value("VXLAB_USERSHARE_ADDR")}, &listing), 0);
        QVERIFY2(listing.contains("Disk|vx lab 共享|"), qPrintable(listing));
        const QString local = m_dir.filePath("fetched.txt");
        QCOMPARE(Guest({Service("vx lab 共享"), "-c", "get hello.txt " + local}), 0);
        QFile fetched(local);
        QVERIFY(fetched.open(QIODevice::ReadOnly));
        QCOMPARE(fetched.readAll(), QByteArray("vexmor lab\n"));
        QVERIFY(Guest({Service("vx lab 共享"), "-c", "put " + local + " written.txt"}) != 0);
        Guest({Service("vx lab 共享"), "-c", "mkdir made"});  // smbclient exits 0 regardless
        QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"hello.txt"});
    }

    void duplicateNameLeavesTheFirstShare() {
        const QString first = Folder("a/vxdup");
        Add(first, 0);
        m_boxes.clear();
        Add(Folder("b/VXDUP"), 0);
        QCOMPARE(m_output.logged.last(), QStringLiteral("共享文件夹失败(共享名已经存在)"));
        QCOMPARE(m_boxes, QStringList{"添加共享失败"});
        QString info;
        QCOMPARE(Usershare({"info", "--long"}, &info), 0);
        const auto shares = vx::platform::usershare_detail::ParseUsershareInfo(info);
        const auto dup = std::find_if(shares.begin(), shares.end(),
                                      [](const auto& s) { return s.name == "vxdup"; });
        QVERIFY(dup != shares.end());
        QCOMPARE(dup->path, first);
        // Everyone (S-1-1-0), read only, guests allowed.
        QVERIFY2(dup->guestOk && dup->acl.count(':') == 1 && dup->acl.endsWith(":R,"),
                 qPrintable(dup->acl));
    }

    void expiryRemovesTheShare() {
        Add(Folder("vxexpire"), 1);
        const int row = Page()->FindShareRow("vxexpire");
        QVERIFY(row >= 0);
        Page()->Entry(row)->secondsLeft = 1;
        QMetaObject::invokeMethod(Page(), "OnTimer");
        QVERIFY(vx::platform::ListHostShares("127.0.0.1").contains("vxexpire"));
        QMetaObject::invokeMethod(Page(), "OnTimer");
        QCOMPARE(Page()->FindShareRow("vxexpire"), -1);
        QCOMPARE(m_output.logged.last(), QStringLiteral("删除共享vxexpire成功"));
        QVERIFY(!vx::platform::ListHostShares("127.0.0.1").contains("vxexpire"));
    }

    void machineSharesListTheServer() {
        QCOMPARE(Usershare({"add", "vxother", Folder("vxother"), "", "S-1-1-0:R", "guest_ok=y"}),
                 0);
        QMetaObject::invokeMethod(Page(), "OnMachineShares");
        const int row = Page()->FindShareRow("vxother");
        QVERIFY(row >= 0);
        QCOMPARE(Page()->List()->CellText(row, 1), QStringLiteral("未知"));
        QVERIFY(Page()->FindShareRow("vx lab 共享") >= 0);
    }
};

int main(int argc, char** argv) {
    return vx::lab::LabMain(
        argc, argv,
        [](int c, char** v) {
            QApplication app(c, v);
            LabShareSetterTest test;
            return QTest::qExec(&test, c, v);
        },
        QStringLiteral("VXLAB_USERSHARE_NS"));
}

#include "LabShareSetterTest.moc"
