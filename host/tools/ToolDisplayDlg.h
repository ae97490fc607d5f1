// The modal "工具显示" dialog: every tool with a check box, reordered with
// "上移"/"下移"; "确定" applies the order and visibility, rebuilds the tool
// list and stores each tool's setting.
#pragma once

#include <QDialog>

class QTreeWidget;

namespace vx {

class CVexmorDoc;

class CToolDisplayDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 200;
    static constexpr int kRowDecoration = 48;  // check box, icon and margins

    explicit CToolDisplayDlg(CVexmorDoc* doc, QWidget* parent = nullptr);

    void OnMoveUp();
    void OnMoveDown();
    // "确定": entries take the rows' order and ticks, the tool list is
    // rebuilt, and every row is stored in "工具显示".
    void accept() override;

private:
    void FillList();
    void MoveSelected(int delta);

    CVexmorDoc* m_doc;              // not owned
    QTreeWidget* m_list = nullptr;  // 1002
};

}  // namespace vx
