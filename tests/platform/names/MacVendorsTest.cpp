#include <QtTest>

#include "platform/MacVendors.h"

using namespace vx::platform;

class MacVendorsTest : public QObject {
    Q_OBJECT

private slots:
    void makers_data() {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("maker");
        QTest::addRow("MA-L, quoted comma") << "00.00.0C.12.34.56" << "Cisco Systems, Inc";
        QTest::addRow("colons, lower case") << "00:00:0c:ff:ff:ff" << "Cisco Systems, Inc";
        QTest::addRow("MA-S beats MA-M and MA-L") << "70-B3-D5-12-3F-FF" << "深圳测试";
        QTest::addRow("MA-M beats MA-L") << "70.B3.D5.1F.00.00" << "Quote \"Q\" Works";
        QTest::addRow("MA-L where no smaller block") << "70.B3.D5.20.00.00"
                                                     << "IEEE Registration Authority";
        QTest::addRow("trimmed, first holder kept") << "00.11.22.33.44.55" << "Spaced Maker";
        QTest::addRow("locally administered") << "52.AA.BB.00.00.01" << "随机MAC地址";
        QTest::addRow("unknown prefix") << "00.99.99.00.00.01" << "";
        QTest::addRow("not a MAC") << "00.00.0C.12.34" << "";
        QTest::addRow("bad digit") << "00.00.0C.12.34.5G" << "";
        QTest::addRow("bad separator") << "00/00/0C/12/34/56" << "";
    }
    void makers() {
        QFETCH(QString, mac);
        QFETCH(QString, maker);
        MacVendors vendors;
        QVERIFY(vendors.Load(qEnvironmentVariable("VX_TEST_DATA").toStdString() + "/ieee-data"));
        QCOMPARE(vendors.Blocks(), size_t(6));
        QCOMPARE(MakerOf(vendors, mac), maker);
    }

    void missingRegistryLoadsNothing() {
        MacVendors vendors;
        QVERIFY(!vendors.Load("/nonexistent/ieee-data"));
        QCOMPARE(vendors.Blocks(), size_t(0));
        QCOMPARE(MakerOf(vendors, u"00.00.0C.12.34.56"), QString());
        QCOMPARE(MakerOf(vendors, u"02.00.00.00.00.01"), QStringLiteral("随机MAC地址"));
    }

    // The installed registry, when there is one: read whole, fast, small.
    void installedRegistry() {
        MacVendors vendors;
        QElapsedTimer t;
        t.start();
        if (!vendors.Load()) QSKIP("ieee-data is not installed");
        const qint64 ms = t.elapsed();
        QVERIFY2(vendors.Blocks() > 30000, qPrintable(QString::number(vendors.Blocks())));
        QVERIFY(MakerOf(vendors, u"00.00.0C.00.00.01").startsWith(u"Cisco"));
        qInfo("registry: %zu blocks in %lld ms, %zu bytes", vendors.Blocks(), ms,
              vendors.MemoryBytes());
        QVERIFY(vendors.MemoryBytes() < 8u << 20);
    }
};

QTEST_GUILESS_MAIN(MacVendorsTest)
#include "MacVendorsTest.moc"
