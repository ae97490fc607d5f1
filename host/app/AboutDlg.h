// "关于 Vexmor": the version and a hint on how to update.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace vx {

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 100;
    static constexpr int kHintId = 1010;

    explicit CAboutDlg(QWidget* parent = nullptr);

    QPlainTextEdit* Hint() const { return m_hint; }

private:
    QPlainTextEdit* m_hint = nullptr;
};

}  // namespace vx
