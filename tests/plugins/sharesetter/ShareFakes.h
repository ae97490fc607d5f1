// Test doubles for the share setter: a host that records the output log and
// a share layer that answers from a table (nothing reaches Samba).
#pragma once

#include <QMap>
#include <QStringList>
#include <QWidget>

#include "contract/ToolContract.h"
#include "platform/UserShares.h"

class FakeToolHost final : public CToolHost {
public:
    QWidget pageParent;
    QStringList addedTools;
    QWidget* GetPageParent() override { return &pageParent; }
    QWidget* GetOptionParent() override { return nullptr; }
    void AddTool(const QString& name, const QIcon&, QWidget*) override { addedTools << name; }
    void AddOptionPage(const QString&, const QIcon&, COptionPage*) override {}
};

class FakeHostOutput final : public CHostOutput {
public:
    QStringList logged;
    void OutputMsg(const QString& text) override { logged << text; }
    void SetStatusText(int, const QString&) override {}
    void ShowMsg(const QString&) override {}
};

// Adds succeed unless `nextAdd` says otherwise; deletes fail for names not
// shared through it or listed in `failDelete`.
class FakeUserShares final : public vx::platform::IUserShares {
public:
    vx::platform::ShareOutcome nextAdd;
    QStringList failDelete;
    QMap<QString, QString> shared;  // name -> path
    QStringList deleted;

    vx::platform::ShareOutcome Add(const QString& name, const QString& path) override {
        if (nextAdd.Ok()) shared.insert(name, path);
        return nextAdd;
    }
    vx::platform::ShareOutcome Delete(const QString& name) override {
        deleted << name;
        if (failDelete.contains(name) || !shared.remove(name)) return {2310, {}};
        return {};
    }
};
