// The update-information page and version texts, as pure functions.
#include <QTest>

#include "host/update/UpdateInfo.h"
#include "platform/Gbk.h"

using vx::ComponentRecord;

namespace {

// name|main|version|size|url|remarks of each entry, for compact comparison.
QStringList Rows(const QList<ComponentRecord>& list) {
    QStringList rows;
    for (const ComponentRecord& r : list)
        rows << QStringList{r.fileName, r.mainVersion, r.newVersion, r.size, r.source, r.remarks}
                    .join('|');
    return rows;
}

}  // namespace

class UpdateInfoTest : public QObject {
    Q_OBJECT
private slots:
    void parsesPage_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QStringList>("rows");
        const QString a = "vx_a.so*1.72*1.0.0.2*12KB*http://h/a.so*新的";
        QTest::newRow("one entry") << "<p>::BEGIN::" + a + "#::END::</p>" << true
                                   << QStringList{"vx_a.so|1.72|1.0.0.2|12KB|http://h/a.so|新的"};
        QTest::newRow("end before begin") << "::END::::BEGIN::" + a + "#" << false << QStringList{};
        QTest::newRow("end only before begin")
            << "::END::x::BEGIN::" + a + "#::END::" << false << QStringList{};
        QTest::newRow("back to back") << "::BEGIN::::END::" << true << QStringList{};
        QTest::newRow("no end") << "::BEGIN::" + a + "#" << false << QStringList{};
        QTest::newRow("remarks with stars")
            << "::BEGIN::b.so*1*2*3*u*x*y**z#::END::" << true << QStringList{"b.so|1|2|3|u|x*y**z"};
        QTest::newRow("last entry without #")
            << "::BEGIN::b.so*1*2*3*u*r#c.so*1*2*3*u*r::END::" << true
            << QStringList{"b.so|1|2|3|u|r"};
        QTest::newRow("nothing trimmed") << "::BEGIN:: b.so *1*2*3*u*r#::END::" << true
                                         << QStringList{" b.so |1|2|3|u|r"};
        QTest::newRow("short entry dropped")
            << "::BEGIN::b.so*1*2*3*u#c.so*1*2*3*u*r#::END::" << true
            << QStringList{"c.so|1|2|3|u|r"};
        QTest::newRow("unsafe names dropped")
            << "::BEGIN::*1*2*3*u*r#../x.so*1*2*3*u*r#d/x.so*1*2*3*u*r#d\\x.so*1*2*3*u*r#"
               "..*1*2*3*u*r#\r\nx.so*1*2*3*u*r#ok.so*1*2*3*u*r#::END::"
            << true << QStringList{"ok.so|1|2|3|u|r"};
        QTest::newRow("control characters in any field dropped")
            << "::BEGIN::a.so*1.72\t*2*3*u*r#b.so*1*2\n*3*u*r#c.so*1*2*3\x7f*u*r#"
               "d.so*1*2*3*http://h/d.so\r\n[更新文件0]*r#e.so*1*2*3*u*r\x01#ok.so*1*2*3*u*r#::END::"
            << true << QStringList{"ok.so|1|2|3|u|r"};
    }
    void parsesPage() {
        QFETCH(QString, page);
        QFETCH(bool, valid);
        QFETCH(QStringList, rows);
        QList<ComponentRecord> entries;
        QCOMPARE(vx::ParseUpdatePage(vx::platform::ToGbk(page), &entries), valid);
        QCOMPARE(Rows(entries), rows);
    }

    void comparesVersions_data() {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("newer");
        QTest::newRow("older") << "1.4.9.0" << "1.5.0.0" << false;
        QTest::newRow("newer") << "1.5.0.0" << "1.4.9.0" << true;
        QTest::newRow("equal") << "1.5.0.0" << "1.5.0.0" << false;
        QTest::newRow("last part decides") << "1.0.0.10" << "1.0.0.9" << true;
        QTest::newRow("short reads into the last part") << "1.2" << "1.0.0.2" << false;
        QTest::newRow("stored form normalised")
            << vx::NormaliseVersionText("1, 0, 0, 3") << "1.0.0.2" << true;
    }
    void comparesVersions() {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, newer);
        QCOMPARE(vx::IsNewerVersion(a, b), newer);
    }
};

QTEST_GUILESS_MAIN(UpdateInfoTest)
#include "UpdateInfoTest.moc"
