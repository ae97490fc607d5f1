// How sweeps turn into history events and alerts, as tables: each case is a
// series of sweeps written "address=MAC[,other MAC...][:share/share]" ("-" for
// a silent address), the alert lines each sweep gives, and every event.
#include <QtTest>

#include "plugins/hostpatrol/HistoryAlerts.h"

using namespace vx::hostpatrol;

namespace {

std::vector<SweepHost> ParseSweep(const QString& text) {
    std::vector<SweepHost> hosts;
    for (const QString& item : text.split(u' ', Qt::SkipEmptyParts)) {
        SweepHost host;
        host.address = item.section(u'=', 0, 0);
        QString answer = item.section(u'=', 1);
        if (answer.contains(u':')) {
            host.shares = answer.section(u':', 1).split(u'/');
            answer = answer.section(u':', 0, 0);
        }
        if (answer != u"-") {
            const QStringList macs = answer.split(u',');
            host.mac = macs.first();
            host.otherMacs = macs.mid(1);
            host.answered = true;
        }
        hosts.push_back(host);
    }
    return hosts;
}

const char* Letter(HistoryEvent kind) {
    switch (kind) {
    case HistoryEvent::Online: return "on";
    case HistoryEvent::Offline: return "off";
    case HistoryEvent::NewDevice: return "new";
    case HistoryEvent::NewShare: return "share";
    case HistoryEvent::AddressChange: return "change";
    case HistoryEvent::AddressConflict: return "conflict";
    }
    return "?";
}

}  // namespace

class HistoryAlertsTest : public QObject {
    Q_OBJECT

private slots:
    void sweeps_data() {
        QTest::addColumn<QStringList>("sweeps");
        QTest::addColumn<QStringList>("alerts");  // per sweep, joined by '|'
        QTest::addColumn<QString>("events");      // "kind:MAC@sweep", all sweeps

        QTest::newRow("first sweep records silently, a later newcomer alerts")
            << QStringList{"1=AA 2=- 3=BB", "1=AA 2=CC 3=BB"}
            << QStringList{"", "发现新设备2(CC)"} << "new:AA@0 new:BB@0 new:CC@1";
        QTest::newRow("an address answering with another MAC")
            << QStringList{"1=AA", "1=AA", "1=BB"}
            << QStringList{"", "", "发现新设备1(BB)|1的MAC地址由AA变为BB"}
            << "new:AA@0 new:BB@2 change:BB@2";
        QTest::newRow("a known MAC back at its old address is a change too")
            << QStringList{"1=AA 2=BB", "1=BB 2=-", "1=AA 2=-"}
            << QStringList{"", "1的MAC地址由AA变为BB", "1的MAC地址由BB变为AA"}
            << "new:AA@0 new:BB@0 change:BB@1 change:AA@2";
        QTest::newRow("a conflict alerts once while it lasts, again when it returns")
            << QStringList{"1=AA", "1=AA,BB", "1=BB,AA", "1=AA", "1=AA,BB"}
            << QStringList{"", "发现新设备1(BB)|1地址冲突:AA,BB", "", "", "1地址冲突:AA,BB"}
            << "new:AA@0 new:BB@1 conflict:AA@1 conflict:BB@1 conflict:AA@4 conflict:BB@4";
        QTest::newRow("conflict in the very first sweep: recorded, not alerted")
            << QStringList{"1=AA,BB", "1=AA,BB"} << QStringList{"", ""}
            << "new:AA@0 new:BB@0 conflict:AA@0 conflict:BB@0";
        QTest::newRow("offline on the fourth silent sweep, online again")
            << QStringList{"1=AA", "1=-", "1=-", "1=-", "1=-", "1=-", "1=AA"}
            << QStringList{"", "", "", "", "", "", ""} << "new:AA@0 off:AA@4 on:AA@6";
        QTest::newRow("three silent sweeps are ridden out")
            << QStringList{"1=AA", "1=-", "1=-", "1=-", "1=AA", "1=-", "1=-", "1=-"}
            << QStringList{"", "", "", "", "", "", "", ""} << "new:AA@0";
        QTest::newRow("a sweep without the address tells nothing")
            << QStringList{"1=AA 2=BB", "2=BB", "2=BB", "2=BB", "2=BB", "1=-"}
            << QStringList{"", "", "", "", "", ""} << "new:AA@0 new:BB@0";
        QTest::newRow("new shares while online; all again after coming back")
            << QStringList{"1=AA:docs", "1=AA:docs/music", "1=-", "1=-", "1=-", "1=-",
                           "1=AA:docs/music"}
            << QStringList{"", "", "", "", "", "", ""}
            << "new:AA@0 share:AA@1 off:AA@5 on:AA@6 share:AA@6 share:AA@6";
        QTest::newRow("a device moving to another address is no alert")
            << QStringList{"1=AA", "1=- 2=AA", "1=- 2=AA", "1=- 2=AA", "1=- 2=AA", "1=- 2=AA"}
            << QStringList{"", "", "", "", "", ""} << "new:AA@0";
    }
    void sweeps() {
        QFETCH(QStringList, sweeps);
        QFETCH(QStringList, alerts);
        QFETCH(QString, events);
        HistoryState state;
        QStringList gotAlerts;
        QStringList gotEvents;
        for (int i = 0; i < sweeps.size(); ++i) {
            const SweepChanges changes = ApplySweep(state, ParseSweep(sweeps[i]), 1000 + i);
            gotAlerts << changes.alerts.join(u'|');
            for (const EventRecord& e : changes.events)
                gotEvents << QStringLiteral("%1:%2@%3").arg(Letter(e.kind), e.mac).arg(e.time - 1000);
        }
        QCOMPARE(gotAlerts, alerts);
        QCOMPARE(gotEvents.join(u' '), events);
    }

    // What the store writes: only rows that changed, so a quiet LAN costs
    // nothing per host.
    void onlyChangedRowsAreDirty() {
        HistoryState state;
        SweepChanges first = ApplySweep(state, ParseSweep("1=AA 2=BB 3=-"), 1);
        QCOMPARE(first.dirtyDevices, (QStringList{"AA", "BB"}));
        QCOMPARE(first.dirtyAddresses, (QStringList{"1", "2"}));
        SweepChanges quiet = ApplySweep(state, ParseSweep("1=AA 2=BB 3=-"), 2);
        QVERIFY(quiet.dirtyDevices.isEmpty());
        QVERIFY(quiet.dirtyAddresses.isEmpty());
        QCOMPARE(state.devices["AA"].lastSeen, 2);
        SweepChanges miss = ApplySweep(state, ParseSweep("1=- 2=BB"), 3);
        QCOMPARE(miss.dirtyDevices, QStringList{"AA"});
        // The row keeps the time of the last answer, not of the miss.
        QCOMPARE(state.devices["AA"].lastSeen, 2);
        QCOMPARE(state.devices["AA"].misses, 1);
        QCOMPARE(state.sweeps, 3);
        QCOMPARE(state.lastSweep, 3);
    }
};

QTEST_APPLESS_MAIN(HistoryAlertsTest)
#include "HistoryAlertsTest.moc"
