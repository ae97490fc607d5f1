// The row comparison picks its kind (number, dd-mm-yyyy date, text) from the
// first text alone, so it is no consistent order; sorting must still keep
// every row. Input: cell texts separated by '\n' (GBK, as list texts arrive
// from the settings file and from share names); the first two are also
// compared directly.

#include <cstdint>
#include <cstdlib>

#include "OffscreenApp.h"
#include "platform/Gbk.h"
#include "plugins/common/SortListCtrl.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    StartOffscreenApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QList<QByteArray> parts =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)).split('\n');
    QStringList cells;
    for (const QByteArray& p : parts) cells << vx::platform::FromGbk(p);
    const QString a = cells.value(0), b = cells.value(1);

    for (bool ascending : {true, false}) {
        const int r = CSortListCtrl::Compare(a, b, ascending);
        if (r < -1 || r > 1) std::abort();
        if (CSortListCtrl::Compare(a, a, ascending) != 0) std::abort();
    }
    // Descending is ascending with the texts swapped but the kind still taken
    // from the first; that is antisymmetric unless the second reads as NaN.
    if (!b.contains(u'n', Qt::CaseInsensitive) &&
        CSortListCtrl::Compare(a, b, false) != -CSortListCtrl::Compare(a, b, true))
        std::abort();

    CSortListCtrl list;
    list.SetColumns(QStringLiteral("a,10;b,10;"));
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const int row = list.AddRow({cells[i], cells[cells.size() - 1 - i]}, 0);
        list.SetRowData(row, reinterpret_cast<void*>(quintptr(i + 1)));
    }
    for (int column : {0, 1, 0}) {
        list.SortColumn(column, column == 0);
        if (list.RowCount() != cells.size()) std::abort();
        quintptr sum = 0;
        for (int row = 0; row < list.RowCount(); ++row)
            sum += reinterpret_cast<quintptr>(list.GetRowData(row));
        if (sum != quintptr(cells.size()) * quintptr(cells.size() + 1) / 2) std::abort();
    }
    return 0;
}
