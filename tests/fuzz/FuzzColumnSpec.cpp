// The column string of a list ("caption,width;caption,width;..."). Plug-ins
// pass literals today, but the parser takes any text; it must never read
// outside it, make a negative width, or lose count of what it created.
// Input: the column string (GBK), then optionally '\0' and a second string
// appended after the first's columns.
#include <QHeaderView>

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
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype nul = bytes.indexOf('\0');
    const QString first = vx::platform::FromGbk(nul < 0 ? bytes : bytes.left(nul));
    const QString second = nul < 0 ? QString() : vx::platform::FromGbk(bytes.mid(nul + 1));

    CSortListCtrl list;
    if (!list.SetColumns(first)) std::abort();  // every column can be made here
    const int afterFirst = list.ColumnCount();
    if (afterFirst > first.count(u',')) std::abort();
    if (!second.isEmpty() && !list.SetColumns(second)) std::abort();
    if (list.ColumnCount() < afterFirst || list.ColumnCount() != list.columnCount())
        std::abort();
    for (int c = 0; c < list.ColumnCount(); ++c)
        if (list.header()->sectionSize(c) < 0) std::abort();
    // Rows are sized by the count: exactly one text per column.
    const int row = list.AddRow({first, second}, 0);
    if (list.ColumnCount() > 0 && row != 0) std::abort();
    if (list.ColumnCount() > 0 && list.SortText(0, 0) != first) std::abort();
    return 0;
}
