// Share listing of this machine ("127.0.0.1") while shares come and go through
// `net usershare`, on the lab's usershare host.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include "lab/LabSupport.h"
#include "platform/SmbBrowser.h"
#include "plugins/common/EnumHostShares.h"

using vx::lab::Lab;
using vx::lab::RunCommand;
using vx::platform::ListHostShares;

namespace {

int Usershare(const QStringList& args) {
    return RunCommand(QStringList{"net", "-s", Lab().Value("VXLAB_USERSHARE_CONF"), "usershare"} +
                      args);
}

}  // namespace

class LabUsershareTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
        for (const QString& name : {"vxalpha", "vxbeta"}) Usershare({"delete", name});
    }
    void cleanupTestCase() {
        for (const QString& name : {"vxalpha", "vxbeta"}) Usershare({"delete", name});
    }

    // Each listing sees the shares of that moment: no cached connection or
    // context keeps an old answer.
    void listingFollowsTheShares() {
        QCOMPARE(ListHostShares("127.0.0.1"), QStringList{});
        QCOMPARE(Usershare({"add", "vxalpha", m_dir.path(), "", "S-1-1-0:R", "guest_ok=y"}), 0);
        QCOMPARE(ListHostShares("127.0.0.1"), QStringList{"vxalpha"});
        QCOMPARE(Usershare({"add", "vxbeta", m_dir.path(), "", "S-1-1-0:R", "guest_ok=y"}), 0);
        QStringList both = ListHostShares("127.0.0.1");
        both.sort();
        QCOMPARE(both, (QStringList{"vxalpha", "vxbeta"}));
        QCOMPARE(Usershare({"delete", "vxalpha"}), 0);
        QCOMPARE(ListHostShares("127.0.0.1"), QStringList{"vxbeta"});
        // The same through the plug-ins' routine, over the LAN address too.
        QStringList names;
        EnumHostShares("127.0.0.1", names);
        EnumHostShares(Lab().Value("VXLAB_USERSHARE_ADDR"), names);
        QCOMPARE(names, (QStringList{"vxbeta", "vxbeta"}));
        QCOMPARE(Usershare({"delete", "vxbeta"}), 0);
        QCOMPARE(ListHostShares("127.0.0.1"), QStringList{});
    }

private:
    QTemporaryDir m_dir;
};

int main(int argc, char** argv) {
    return vx::lab::LabMain(
        argc, argv,
        [](int c, char** v) {
            QCoreApplication app(c, v);
            LabUsershareTest test;
            return QTest::qExec(&test, c, v);
        },
        QStringLiteral("VXLAB_USERSHARE_NS"));
}

#include "LabUsershareTest.moc"
