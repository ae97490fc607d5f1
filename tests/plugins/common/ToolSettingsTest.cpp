#include <QTemporaryDir>
#include <QtTest>

#include "platform/ProfileFile.h"
#include "plugins/common/ToolSettings.h"

class ToolSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        qputenv("VX_PROGRAM_DIR", m_dir->path().toUtf8());
        CToolSettings::Delete();
        m_store = CToolSettings::Get();
        QVERIFY(m_store);
        m_store->SetSection(QStringLiteral("主机巡测"));
    }
    void cleanup() { CToolSettings::Delete(); }

    void getInt_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("digits then letters") << "12abc" << 12;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("negative") << "-1" << -1;
        QTest::newRow("blank first") << "  7" << 7;
    }
    void getInt() {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        QVERIFY(m_store->WriteString("k", stored));
        int value = 99;
        m_store->GetInt("k", value, 5);
        QCOMPARE(value, expected);
    }

    void absentFileSectionOrKeyGivesDefault() {
        QString text = "x";
        int number = 1;
        m_store->GetString("missing", text, "dflt");
        m_store->GetInt("missing", number, 42);
        QCOMPARE(text, QStringLiteral("dflt"));
        QCOMPARE(number, 42);
        QVERIFY(!QFile::exists(m_dir->filePath("Vexmor.ini")));

        m_store->WriteInt("other", 3);
        m_store->GetString("missing", text, "dflt");
        QCOMPARE(text, QStringLiteral("dflt"));
    }

    void writeIntWritesDecimalText() {
        QVERIFY(m_store->WriteInt("n", -1));
        QString text;
        m_store->GetString("n", text);
        QCOMPARE(text, QStringLiteral("-1"));
        QFile file(m_dir->filePath("Vexmor.ini"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("n=-1"));
    }

    void sectionsOfTwoToolsStayApart() {
        m_store->WriteString("共享1", "甲");
        m_store->SetSection(QStringLiteral("设置共享资源"));
        m_store->WriteString("共享1", "乙");

        const auto ini = vx::platform::ProfileFile::Settings();
        QCOMPARE(ini.GetString("主机巡测", "共享1", {}, 64), QStringLiteral("甲"));
        QCOMPARE(ini.GetString("设置共享资源", "共享1", {}, 64), QStringLiteral("乙"));
    }

    // The value is cut to what a 2048-byte buffer holds, in file bytes: 2047
    // single-byte characters, or 1023 two-byte ones (never half of one).
    void longValuesAreCut_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("kept");
        QTest::newRow("ascii") << QString(3000, u'x') << 2047;
        QTest::newRow("two-byte") << QString(1500, QChar(0x5171)) << 1023;
    }
    void longValuesAreCut() {
        QFETCH(QString, value);
        QFETCH(int, kept);
        m_store->WriteString("long", value);
        QString text;
        m_store->GetString("long", text);
        QCOMPARE(text, value.left(kept));
    }

    void pathFollowsTheProgramDirectoryOnEveryCall() {
        m_store->WriteInt("v", 1);
        QTemporaryDir other;
        qputenv("VX_PROGRAM_DIR", other.path().toUtf8());
        int value = 0;
        m_store->GetInt("v", value, -5);
        QCOMPARE(value, -5);
        m_store->WriteInt("v", 2);
        QVERIFY(QFile::exists(other.filePath("Vexmor.ini")));
        qputenv("VX_PROGRAM_DIR", m_dir->path().toUtf8());
        m_store->GetInt("v", value, -5);
        QCOMPARE(value, 1);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    CToolSettings* m_store = nullptr;
};

QTEST_GUILESS_MAIN(ToolSettingsTest)
#include "ToolSettingsTest.moc"
