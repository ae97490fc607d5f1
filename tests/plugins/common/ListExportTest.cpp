// The list as it leaves the program: clipboard text and CSV, read back by an
// independent CSV reader (Python's csv module) with the awkward cells.
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "platform/WholeFile.h"
#include "plugins/common/ListExport.h"
#include "plugins/common/SortListCtrl.h"

using namespace vx::common;

namespace {

const QList<QStringList> kRows = {
    {u"10.0.0.2"_qs, u"a,b"_qs, u"say \"hi\""_qs},
    {u"10.0.0.3"_qs, u"两行\n文字"_qs, u"cr\rlf"_qs},
    {u"10.0.0.10"_qs, u""_qs, u"主机名,厂商"_qs},
};

}  // namespace

class ListExportTest : public QObject {
    Q_OBJECT
private slots:
    void csvReadsBackWhole() {
        const QString python = QStandardPaths::findExecutable(u"python3"_qs);
        if (python.isEmpty()) QSKIP("python3 is not installed");
        CSortListCtrl list;
        list.SetColumns(u"IP地址,100;名称,100;备注,100;"_qs);
        for (const QStringList& row : kRows) list.AddRow(row, -1);
        list.SortColumn(0, false);  // the file follows the order shown
        const ListTable table = TableOf(list, false);
        const QByteArray csv = ToCsv(table);
        QVERIFY(csv.startsWith("\xEF\xBB\xBF"));

        QTemporaryDir dir;
        const QString path = dir.filePath(u"list.csv"_qs);
        QVERIFY(vx::platform::WriteWholeFile(path, csv));
        QProcess reader;
        reader.start(python, {u"-c"_qs,
            u"import csv,json,sys\n"
            "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
            "    print(json.dumps(list(csv.reader(f))))\n"_qs, path});
        QVERIFY(reader.waitForFinished(10000));
        const QJsonArray read = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
        QCOMPARE(read.size(), 4);
        QCOMPARE(read[0].toVariant().toStringList(), QStringList({u"IP地址"_qs, u"名称"_qs, u"备注"_qs}));
        for (int r = 0; r < table.rows.size(); ++r)
            QCOMPARE(read[r + 1].toVariant().toStringList(), table.rows[r]);
        QCOMPARE(table.rows[0][0], u"10.0.0.3"_qs);  // descending by the numeric address text
    }

    void tabTextKeepsOneLinePerRow() {
        CSortListCtrl list;
        list.SetColumns(u"IP地址,100;名称,100;备注,100;"_qs);
        for (const QStringList& row : kRows) list.AddRow(row, -1);
        list.topLevelItem(1)->setSelected(true);
        const QString text = ToTabText(TableOf(list, true));
        QCOMPARE(text, u"IP地址\t名称\t备注\n10.0.0.3\t两行 文字\tcr lf\n"_qs);
    }
};

QTEST_MAIN(ListExportTest)
#include "ListExportTest.moc"
