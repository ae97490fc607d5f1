// The devices of the history page as a table model: all of them held once,
// the ones matching the filter shown in the chosen order. Texts are made
// only for the rows on screen, so ten thousand devices list at once.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

#include <vector>

#include "plugins/hostpatrol/HistoryDb.h"

namespace vx::hostpatrol {

class CHistoryDeviceModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Mac, Address, Name, Maker, FirstSeen, LastSeen, TimesOnline, kColumns };

    explicit CHistoryDeviceModel(QStringList titles, QObject* parent = nullptr);

    // Replaces the devices; filter and order stay.
    void SetDevices(std::vector<DeviceRow> devices);
    // Shows the devices whose address, MAC, name or maker contain `text`
    // (case-insensitively); all for "".
    void SetFilter(const QString& text);

    const DeviceRow& Device(int row) const { return m_devices[m_shown[row]]; }
    // The row showing `mac`, or -1.
    int RowOf(const QString& mac) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role) override;
    // Times and counts by their value, addresses by their numbers, texts by
    // the locale; equal rows keep their order.
    void sort(int column, Qt::SortOrder order) override;

private:
    void Rebuild();
    QString Text(const DeviceRow& device, int column) const;

    const QStringList m_titles;
    QHash<int, QVariant> m_headerNotes;  // by column: what a sorted header tells
    std::vector<DeviceRow> m_devices;
    std::vector<int> m_shown;  // indexes into m_devices, in the order shown
    QString m_filter;
    int m_sortColumn = -1;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};

}  // namespace vx::hostpatrol
