#include "plugins/hostpatrol/HistoryDeviceModel.h"

#include <QCollator>

#include <algorithm>

#include <arpa/inet.h>

#include "plugins/hostpatrol/HostHistoryDlg.h"
#include "plugins/hostpatrol/HostIdentity.h"

namespace vx::hostpatrol {

CHistoryDeviceModel::CHistoryDeviceModel(QStringList titles, QObject* parent)
    : QAbstractTableModel(parent), m_titles(std::move(titles)) {}

void CHistoryDeviceModel::SetDevices(std::vector<DeviceRow> devices) {
    beginResetModel();
    m_devices = std::move(devices);
    // The store keeps the maker as the registry names it; the list, its
    // filter, its sort and its export use the shown text.
    for (DeviceRow& d : m_devices) d.maker = ShownMaker(d.maker);
    Rebuild();
    endResetModel();
}

void CHistoryDeviceModel::SetFilter(const QString& text) {
    if (text == m_filter) return;
    beginResetModel();
    m_filter = text;
    Rebuild();
    endResetModel();
}

void CHistoryDeviceModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumns) return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> shownBefore;
    for (const QModelIndex& index : before) shownBefore.push_back(m_shown[index.row()]);
    m_sortColumn = column;
    m_order = order;
    Rebuild();
    // Selection and current row follow their devices.
    std::vector<int> rowOfDevice(m_devices.size(), -1);
    for (size_t row = 0; row < m_shown.size(); ++row) rowOfDevice[m_shown[row]] = int(row);
    QModelIndexList after;
    for (qsizetype i = 0; i < before.size(); ++i)
        after << index(rowOfDevice[shownBefore[i]], before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CHistoryDeviceModel::Rebuild() {
    m_shown.clear();
    m_shown.reserve(m_devices.size());
    for (size_t i = 0; i < m_devices.size(); ++i) {
        const DeviceRow& d = m_devices[i];
        if (m_filter.isEmpty() || d.mac.contains(m_filter, Qt::CaseInsensitive) ||
            d.lastAddress.contains(m_filter, Qt::CaseInsensitive) ||
            d.name.contains(m_filter, Qt::CaseInsensitive) ||
            d.maker.contains(m_filter, Qt::CaseInsensitive))
            m_shown.push_back(int(i));
    }
    if (m_sortColumn < 0) return;

    // One key per device, made once: a comparison then costs no parsing or
    // collation.
    std::vector<qint64> numbers;
    std::vector<QCollatorSortKey> texts;
    QCollator collator;
    const auto key = [&](const DeviceRow& d) -> const QString& {
        return m_sortColumn == Mac ? d.mac : m_sortColumn == Name ? d.name : d.maker;
    };
    const bool byText = m_sortColumn == Mac || m_sortColumn == Name || m_sortColumn == Maker;
    std::vector<int> slot(m_devices.size(), 0);  // device -> its key
    for (size_t k = 0; k < m_shown.size(); ++k) {
        const DeviceRow& d = m_devices[m_shown[k]];
        slot[m_shown[k]] = int(k);
        if (byText) {
            texts.push_back(collator.sortKey(key(d)));
            continue;
        }
        switch (m_sortColumn) {
        case Address: {
            in_addr v4{};
            const bool ok = inet_pton(AF_INET, d.lastAddress.toLatin1().constData(), &v4) == 1;
            numbers.push_back(ok ? qint64(ntohl(v4.s_addr)) : -1);
            break;
        }
        case FirstSeen: numbers.push_back(d.firstSeen); break;
        case LastSeen: numbers.push_back(d.lastSeen); break;
        default: numbers.push_back(d.timesOnline); break;
        }
    }
    const bool ascending = m_order == Qt::AscendingOrder;
    std::stable_sort(m_shown.begin(), m_shown.end(), [&](int a, int b) {
        if (!ascending) std::swap(a, b);
        if (byText) return texts[slot[a]].compare(texts[slot[b]]) < 0;
        return numbers[slot[a]] < numbers[slot[b]];
    });
}

int CHistoryDeviceModel::RowOf(const QString& mac) const {
    for (size_t row = 0; row < m_shown.size(); ++row)
        if (m_devices[m_shown[row]].mac == mac) return int(row);
    return -1;
}

int CHistoryDeviceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_shown.size());
}

int CHistoryDeviceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QString CHistoryDeviceModel::Text(const DeviceRow& d, int column) const {
    switch (column) {
    case Mac: return d.mac;
    case Address: return d.lastAddress;
    case Name: return d.name;
    case Maker: return d.maker;
    case FirstSeen: return HistoryTimeText(d.firstSeen);
    case LastSeen: return HistoryTimeText(d.lastSeen);
    case TimesOnline: return QString::number(d.timesOnline);
    default: return {};
    }
}

QVariant CHistoryDeviceModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole) return {};
    return Text(Device(index.row()), index.column());
}

QVariant CHistoryDeviceModel::headerData(int section, Qt::Orientation orientation,
                                         int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
    if (role == Qt::DisplayRole) return m_titles.value(section);
    if (role == Qt::AccessibleDescriptionRole) return m_headerNotes.value(section);
    return {};
}

bool CHistoryDeviceModel::setHeaderData(int section, Qt::Orientation orientation,
                                        const QVariant& value, int role) {
    if (orientation != Qt::Horizontal || role != Qt::AccessibleDescriptionRole ||
        section < 0 || section >= kColumns)
        return false;
    m_headerNotes.insert(section, value);
    emit headerDataChanged(orientation, section, section);
    return true;
}

}  // namespace vx::hostpatrol
