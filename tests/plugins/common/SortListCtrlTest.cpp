#include <QAccessible>
#include <QRandomGenerator>
#include <QtTest>

#include "plugins/common/SortHeaderCtrl.h"
#include "plugins/common/SortListCtrl.h"

namespace {

QStringList Column(const CSortListCtrl& list, int column) {
    QStringList texts;
    for (int row = 0; row < list.RowCount(); ++row) texts << list.CellText(row, column);
    return texts;
}

void ClickHeader(CSortListCtrl& list, int column) {
    CSortHeaderCtrl* header = list.SortHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

}  // namespace

class SortListCtrlTest : public QObject {
    Q_OBJECT
private slots:
    void setColumns_data() {
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QList<int>>("widths");
        QTest::newRow("host patrol") << "IP地址,120;MAC地址,120;最近扫描时间,120;共享资源,200;"
                                     << QStringList{"IP地址", "MAC地址", "最近扫描时间", "共享资源"}
                                     << QList<int>{120, 120, 120, 200};
        QTest::newRow("share setter, no trailing ;")
            << "共享名称,150;文件夹路径,150;共享时间,120"
            << QStringList{"共享名称", "文件夹路径", "共享时间"} << QList<int>{150, 150, 120};
        QTest::newRow("tail without comma ignored")
            << "a,10;b" << QStringList{"a"} << QList<int>{10};
        QTest::newRow("width not a number")
            << "a,x;b,;c,7px" << QStringList{"a", "b", "c"} << QList<int>{0, 0, 7};
        QTest::newRow("caption runs to the comma")
            << "a,10;;b,5" << QStringList{"a", ";b"} << QList<int>{10, 5};
        QTest::newRow("empty") << "" << QStringList{} << QList<int>{};
    }
    void setColumns() {
        QFETCH(QString, columns);
        QFETCH(QStringList, captions);
        QFETCH(QList<int>, widths);
        CSortListCtrl list;
        QVERIFY(list.SetColumns(columns));
        QCOMPARE(list.ColumnCount(), captions.size());
        QCOMPARE(list.columnCount(), captions.size());
        for (int c = 0; c < captions.size(); ++c) {
            QCOMPARE(list.headerItem()->text(c), captions[c]);
            QCOMPARE(list.columnWidth(c), widths[c]);
        }
    }

    void setColumnsAppendsAfterExistingColumns() {
        CSortListCtrl list;
        list.SetColumns("a,10;");
        list.SetColumns("b,20;c,30");
        QCOMPARE(list.ColumnCount(), 3);
        QCOMPARE(list.headerItem()->text(2), QStringLiteral("c"));
        QCOMPARE(list.columnWidth(1), 20);
    }

    // Columns added once rows exist give the rows empty texts, which can be
    // set and sorted like any other.
    void columnsAddedAfterRowsExtendTheRows() {
        CSortListCtrl list;
        list.SetColumns("a,10;");
        list.AddRow({"2"}, 0);
        list.AddRow({"1"}, 0);
        QVERIFY(list.SetColumns("b,20;"));
        QVERIFY(list.SetCellText(0, 1, "y") && list.SetCellText(1, 1, "x"));
        QVERIFY(list.SortColumn(1, true));
        QCOMPARE(Column(list, 0), (QStringList{"1", "2"}));
        QCOMPARE(list.SortText(0, 1), QString("x"));
    }

    // Pages open a row on a double click of the left button only.
    void onlyTheLeftButtonDoubleClicks_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::newRow("left") << Qt::LeftButton;
        QTest::newRow("right") << Qt::RightButton;
        QTest::newRow("middle") << Qt::MiddleButton;
    }
    void onlyTheLeftButtonDoubleClicks() {
        QFETCH(Qt::MouseButton, button);
        CSortListCtrl list;
        list.SetColumns("a,100;");
        list.AddRow({"192.168.1.7"}, 0);
        list.show();
        QSignalSpy spy(&list, &QTreeWidget::itemDoubleClicked);
        const QPoint at = list.visualItemRect(list.topLevelItem(0)).center();
        QTest::mouseClick(list.viewport(), button, {}, at);  // a pair's first click
        QTest::mouseDClick(list.viewport(), button, {}, at);
        QCOMPARE(spy.size(), button == Qt::LeftButton ? 1 : 0);
        QVERIFY(list.topLevelItem(0)->isSelected());
    }

    void compare_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("ascending");
        QTest::addColumn<int>("expected");
        QTest::newRow("addresses are text") << "192.168.1.10"
                                            << "192.168.1.9" << true << -1;
        QTest::newRow("numbers by value") << "9"
                                          << "10" << true << -1;
        QTest::newRow("numbers descending") << "9"
                                            << "10" << false << 1;
        QTest::newRow("decimal") << "9.5"
                                 << "10" << true << -1;
        QTest::newRow("number against text") << "12"
                                             << "abc" << true << 1;
        QTest::newRow("number against leading number") << "12"
                                                       << "12abc" << true << 0;
        QTest::newRow("second read like atof") << "5"
                                               << " +7.5x" << true << -1;
        QTest::newRow("one sign at most") << "5"
                                          << "--7" << true << 1;
        QTest::newRow("empty against text") << ""
                                            << "docs;" << true << 0;
        QTest::newRow("empty against number") << ""
                                              << "5" << true << -1;
        QTest::newRow("two empty") << ""
                                   << "" << true << 0;
        QTest::newRow("month decides") << "05-01-2026"
                                       << "04-02-2026" << true << -1;
        QTest::newRow("month decides, descending") << "05-01-2026"
                                                   << "04-02-2026" << false << 1;
        QTest::newRow("year decides") << "31-12-2025"
                                      << "01-01-2026" << true << -1;
        QTest::newRow("day decides") << "02-03-2026"
                                     << "01-03-2026" << true << 1;
        QTest::newRow("same date") << "02-03-2026"
                                   << "02-03-2026" << true << 0;
        QTest::newRow("date against text") << "05-01-2026"
                                           << "abc" << true << 1;
        QTest::newRow("date against short text") << "05-01-2026"
                                                 << "9" << true << 1;
        // Read as a number it would be 26 against 26, equal.
        QTest::newRow("time column is text") << "26-12-07 20:37:22"
                                             << "26-12-07 20:37:03" << true << 1;
        QTest::newRow("text descending") << "b"
                                         << "a" << false << -1;
    }
    void compare() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, ascending);
        QFETCH(int, expected);
        QCOMPARE(CSortListCtrl::Compare(first, second, ascending), expected);
    }

    void rowsKeepCopiesAndCallerPointers() {
        CSortListCtrl list;
        list.SetColumns("a,50;b,50");
        int x = 0, y = 0;
        QCOMPARE(list.AddRow({"1", "one"}, 0), 0);
        QCOMPARE(list.AddRow({"2"}, 0), 1);  // missing text is empty
        QCOMPARE(list.AddRow({"3", "three", "extra"}, 0), 2);
        QCOMPARE(list.CellText(1, 1), QString());
        QCOMPARE(list.SortText(2, 1), QStringLiteral("three"));

        QVERIFY(list.SetRowData(0, &x));
        QVERIFY(list.SetRowData(2, &y));
        QVERIFY(!list.SetRowData(3, &x));
        QVERIFY(!list.SetRowData(-1, &x));
        QCOMPARE(list.GetRowData(0), &x);
        QCOMPARE(list.GetRowData(1), nullptr);
        QCOMPARE(list.GetRowData(3), nullptr);

        QVERIFY(list.SetCellText(1, 1, "two"));
        QCOMPARE(list.CellText(1, 1), QStringLiteral("two"));
        QCOMPARE(list.SortText(1, 1), QStringLiteral("two"));
        QVERIFY(!list.SetCellText(3, 0, "x"));
        QVERIFY(!list.SetCellText(0, 2, "x"));
        QCOMPARE(list.SortText(0, 0), QStringLiteral("1"));

        QVERIFY(list.DeleteRow(0));
        QVERIFY(!list.DeleteRow(5));
        QCOMPARE(list.RowCount(), 2);
        QCOMPARE(list.GetRowData(1), &y);
        QCOMPARE(x, 0);
        QCOMPARE(y, 0);
    }

    // What the user sees may be changed behind the control's back; sorting
    // goes by the copies it was given.
    void sortingUsesTheCopies() {
        CSortListCtrl list;
        list.SetColumns("n,50");
        list.AddRow({"1"}, 0);
        list.AddRow({"2"}, 0);
        list.topLevelItem(0)->setText(0, "9");
        list.SortColumn(0, false);
        QCOMPARE(Column(list, 0), (QStringList{"2", "9"}));
    }

    void sortsRowsWithTheirData() {
        CSortListCtrl list;
        list.SetColumns("ip,100;date,100");
        int a = 0, b = 0, c = 0;
        list.AddRow({"192.168.1.9", "05-01-2026"}, 0);
        list.SetRowData(0, &a);
        list.AddRow({"192.168.1.10", "04-02-2026"}, 0);
        list.SetRowData(1, &b);
        list.AddRow({"10.0.0.1", "31-12-2025"}, 0);
        list.SetRowData(2, &c);

        QVERIFY(list.SortColumn(0, true));
        QCOMPARE(Column(list, 0), (QStringList{"10.0.0.1", "192.168.1.10", "192.168.1.9"}));
        QCOMPARE(list.GetRowData(0), &c);
        QCOMPARE(list.GetRowData(2), &a);

        QVERIFY(list.SortColumn(1, true));
        QCOMPARE(Column(list, 1), (QStringList{"31-12-2025", "05-01-2026", "04-02-2026"}));
        QVERIFY(list.SortColumn(1, false));
        QCOMPARE(Column(list, 1), (QStringList{"04-02-2026", "05-01-2026", "31-12-2025"}));
        QCOMPARE(list.GetRowData(0), &b);

        QVERIFY(!list.SortColumn(2, true));
        QVERIFY(!list.SortColumn(-1, true));
        QCOMPARE(list.GetSortColumn(), 1);
    }

    void headerClicksSortAndToggle() {
        CSortListCtrl list;
        list.SetColumns("a,60;b,60;c,60");
        list.AddRow({"x", "1", "3"}, 0);
        list.AddRow({"y", "3", "1"}, 0);
        list.AddRow({"z", "2", "2"}, 0);
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        CSortHeaderCtrl* header = list.SortHeader();

        ClickHeader(list, 2);
        QCOMPARE(Column(list, 2), (QStringList{"1", "2", "3"}));
        QCOMPARE(header->GetSortColumn(), 2);
        QVERIFY(header->IsSortAscending());

        ClickHeader(list, 2);
        QCOMPARE(Column(list, 2), (QStringList{"3", "2", "1"}));
        QVERIFY(!header->IsSortAscending());
        QVERIFY(!list.IsSortAscending());

        ClickHeader(list, 0);
        QCOMPARE(Column(list, 0), (QStringList{"x", "y", "z"}));
        QCOMPARE(list.GetSortColumn(), 0);
        QCOMPARE(header->GetSortColumn(), 0);
        QVERIFY(header->IsSortAscending());
        QVERIFY(header->IsOwnerDrawn(2));
        QVERIFY(!header->IsOwnerDrawn(1));
    }

    void rowAddedAfterSortStaysLastUntilNextClick() {
        CSortListCtrl list;
        list.SetColumns("n,60");
        for (const char* n : {"3", "1", "2"}) list.AddRow({n}, 0);
        list.resize(200, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        ClickHeader(list, 0);
        QCOMPARE(list.AddRow({"0"}, 0), 3);
        QCOMPARE(Column(list, 0), (QStringList{"1", "2", "3", "0"}));
        ClickHeader(list, 0);
        QCOMPARE(Column(list, 0), (QStringList{"3", "2", "1", "0"}));
    }

    void sortKeepsSelection() {
        CSortListCtrl list;
        list.SetColumns("n,60");
        for (const char* n : {"3", "1", "2"}) list.AddRow({n}, 0);
        list.setCurrentItem(list.topLevelItem(0));
        list.SortColumn(0, true);
        QCOMPARE(list.currentItem()->text(0), QStringLiteral("3"));
        QVERIFY(list.currentItem()->isSelected());
        QCOMPARE(list.selectedItems().size(), 1);
    }

    // Rows of numbers, dates and text mixed make the comparison inconsistent
    // (it is chosen by its first argument); sorting must still keep every
    // row exactly once.
    void mixedColumnSortsEveryRowOnce() {
        CSortListCtrl list;
        list.SetColumns("m,60");
        QStringList pool{"",    "12", "abc",        "05-01-2026",        "192.168.1.9",
                         "1.5", "Z",  "04-02-2026", "26-12-07 20:37:22", "docs;",
                         "007", "a"};
        QRandomGenerator random(7);
        QStringList added;
        for (int i = 0; i < 500; ++i) {
            added << pool[random.bounded(int(pool.size()))];
            list.AddRow({added.back()}, 0);
        }
        for (bool ascending : {true, false, true}) {
            QVERIFY(list.SortColumn(0, ascending));
            QStringList now = Column(list, 0);
            QStringList expected = added;
            now.sort();
            expected.sort();
            QCOMPARE(now, expected);
        }
    }

    void foreignRowsAreNotReadAsOurs() {
        CSortListCtrl list;
        list.SetColumns("a,60");
        list.AddRow({"2"}, 0);
        list.addTopLevelItem(new QTreeWidgetItem(QStringList{"1"}));
        QVERIFY(!list.SetRowData(1, &list));
        QCOMPARE(list.GetRowData(1), nullptr);
        QVERIFY(!list.SetCellText(1, 0, "x"));
        QVERIFY(list.SortColumn(0, true));
        QCOMPARE(list.RowCount(), 2);
    }

    void sortDirectionIsAccessible() {
        CSortListCtrl list;
        list.SetColumns("甲,60;乙,60");
        list.AddRow({"1", "2"}, 0);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.SortColumn(1, false);
        QAccessibleInterface* view = QAccessible::queryAccessibleInterface(&list);
        QVERIFY(view);
        QString description;
        for (int i = 0; i < view->childCount(); ++i) {
            QAccessibleInterface* child = view->child(i);
            if (child && child->role() == QAccessible::ColumnHeader &&
                child->text(QAccessible::Name) == QStringLiteral("乙")) {
                description = child->text(QAccessible::Description);
            }
        }
        QCOMPARE(description, QStringLiteral("降序"));
        list.SortColumn(0, true);
        QCOMPARE(list.headerItem()->data(1, Qt::AccessibleDescriptionRole).toString(), QString());
        QCOMPARE(list.headerItem()->data(0, Qt::AccessibleDescriptionRole).toString(),
                 QStringLiteral("升序"));
    }

    // Grid lines: one under every row and one at every column's right edge,
    // in the style's grid colour; none when they are off.
    void gridLines_data() {
        QTest::addColumn<bool>("on");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void gridLines() {
        QFETCH(bool, on);
        CSortListCtrl list;
        list.SetColumns("a,60;b,80;c,70");
        list.AddRow({"", "", ""}, 0);
        list.AddRow({"", "", ""}, 0);
        list.SetGridLines(on);
        QCOMPARE(list.GridLines(), on);
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QStyleOptionViewItem option;
        option.initFrom(&list);
        const QColor grid = QColor::fromRgba(static_cast<QRgb>(
            list.style()->styleHint(QStyle::SH_Table_GridLineColor, &option, &list)));
        QVERIFY(grid != list.palette().color(QPalette::Base));
        const QImage image = list.viewport()->grab().toImage();
        const QRect first = list.visualItemRect(list.topLevelItem(0));
        const QRect second = list.visualItemRect(list.topLevelItem(1));
        const auto at = [&](int x, int y) { return image.pixelColor(x, y).rgb() == grid.rgb(); };
        for (const QRect& row : {first, second}) {
            QCOMPARE(at(30, row.bottom()), on);       // under the row, inside column 0
            QCOMPARE(at(59, row.center().y()), on);   // right edge of column 0
            QCOMPARE(at(139, row.center().y()), on);  // of column 1
            QCOMPARE(at(209, row.center().y()), on);  // of column 2
            QVERIFY(!at(100, row.center().y()));      // not inside a cell
        }
    }

    // Run under AddressSanitizer: every row record goes with its row or with
    // the window, and caller pointers are left alone.
    void lifecycleLeavesNothingBehind() {
        auto* list = new CSortListCtrl;
        list->SetColumns("a,50;b,50;c,50;");
        auto* owned = new int(5);
        for (int i = 0; i < 200; ++i) {
            list->AddRow({QString::number(i % 17), "t" + QString::number(i), "01-02-2026"}, 0);
            list->SetRowData(i, owned);
        }
        for (int i = 0; i < 200; i += 3) list->SetCellText(i, 1, "edited");
        list->SortColumn(1, true);
        list->SortColumn(0, false);
        for (int i = 0; i < 50; ++i) list->DeleteRow(i);
        delete list;
        QCOMPARE(*owned, 5);
        delete owned;
    }
};

QTEST_MAIN(SortListCtrlTest)
#include "SortListCtrlTest.moc"
