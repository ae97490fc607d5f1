// The page of the tool "主机历史": every device the patrol has ever seen,
// filtered as the user types, the selected device's events, export as CSV
// and clearing the history. Reads go through the history's worker; the page
// never touches the file itself.
#pragma once

#include <QWidget>

#include <vector>

#include "plugins/hostpatrol/HistoryDb.h"

class CSortListCtrl;
class CSortListView;
class QLineEdit;
class QPushButton;

namespace vx::hostpatrol {

class CHistoryDeviceModel;
class CHostHistory;

class CHostHistoryDlg final : public QWidget {
    Q_OBJECT
public:
    CHostHistoryDlg(CHostHistory* history, QWidget* parent);
    ~CHostHistoryDlg() override;

    // Reads the devices again (also done each time the page is shown).
    void Refresh();
    // Shows the devices whose address, MAC, name or maker contain `text`
    // (case-insensitively); all for "".
    void SetFilter(const QString& text);
    // Writes the listed devices as CSV; false (with a message box) on failure.
    bool ExportTo(const QString& path);
    void OnExport();
    void OnClear();

    CSortListView* Devices() const { return m_devices; }
    CHistoryDeviceModel* DeviceModel() const { return m_model; }
    CSortListCtrl* Events() const { return m_events; }
    QLineEdit* FilterBox() const { return m_filter; }

signals:
    // The device list was filled from the file.
    void DevicesLoaded();
    // The selected device's events were filled.
    void EventsLoaded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowDevices(std::vector<DeviceRow> rows);
    // Selects the device selected before the list changed, if still shown.
    void Reselect();
    void OnSelection();

    CHostHistory* m_history;  // not owned; outlives the page
    QLineEdit* m_filter;
    CHistoryDeviceModel* m_model;
    CSortListView* m_devices;
    CSortListCtrl* m_events;
    QPushButton* m_refresh;
    QPushButton* m_export;
    QPushButton* m_clear;
    QString m_selectedMac;
};

// "2026-12-08 07:10:36", local time; "" for 0.
QString HistoryTimeText(qint64 secs);

}  // namespace vx::hostpatrol
