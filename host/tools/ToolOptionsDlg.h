// The modeless "选项" dialog: a list of the options pages tools have added and
// the selected page beside it. Created once, hidden; shown by a command.
#pragma once

#include <QDialog>
#include <QIcon>

class COptionPage;
class QFrame;
class QListWidget;

namespace vx {

class CToolOptionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CToolOptionsDlg(QWidget* parent = nullptr);

    void AddOptionPage(const QString& name, const QIcon& icon, ::COptionPage* page);
    // Drops every row; the pages stay with their tools.
    void Reset();

    ::COptionPage* CurrentPage() const { return m_currentPage; }

    // "保存": every page saves, in row order; the dialog hides.
    void accept() override;
    // "关闭": hides, nothing saved.
    void reject() override;

private:
    void OnRowChanged(int row);

    QListWidget* m_list = nullptr;           // 1002
    QFrame* m_pageArea = nullptr;            // 1003
    ::COptionPage* m_currentPage = nullptr;  // not owned
};

}  // namespace vx
