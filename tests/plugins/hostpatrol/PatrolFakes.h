// Test doubles for the host patrol: a host that records what the tool asks
// of it, a task manager that only queues, and probes that answer from a table
// (nothing here touches the network).
#pragma once

#include <QStringList>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>

#include "contract/TaskContract.h"
#include "contract/ToolContract.h"
#include "plugins/hostpatrol/HostProbe.h"

class FakeToolHost final : public CToolHost {
public:
    QWidget pageParent;
    QWidget* parent = &pageParent;  // a test may put the pages elsewhere
    QStringList addedTools;
    QWidget* GetPageParent() override { return parent; }
    QWidget* GetOptionParent() override { return nullptr; }
    void AddTool(const QString& name, const QIcon&, QWidget*) override { addedTools << name; }
    void AddOptionPage(const QString&, const QIcon&, COptionPage*) override {}
};

class FakeHostOutput final : public CHostOutput {
public:
    QStringList shown;
    QStringList logged;
    void OutputMsg(const QString& text) override { logged << text; }
    void SetStatusText(int, const QString&) override {}
    void ShowMsg(const QString& text) override { shown << text; }
};

// Queues tasks and never starts them unless a test says so. Thread-safe, so
// tasks that run may remove themselves from their own threads.
class FakeTaskManager final : public CTaskManager {
public:
    ~FakeTaskManager() override { DeleteAll(); }

    void AddTask(CTask* task) override {
        std::lock_guard guard(m_lock);
        m_waiting.push_back(task);
    }
    void RemoveTask(CTask* task) override {
        std::lock_guard guard(m_lock);
        std::erase(m_executing, task);
        ++m_removed;
        m_changed.notify_all();
    }
    int GetTaskCount(const QString& typeName) override {
        std::lock_guard guard(m_lock);
        int count = 0;
        for (CTask* t : m_waiting) count += t->GetTypeName() == typeName;
        for (CTask* t : m_executing) count += t->GetTypeName() == typeName;
        return count + m_phantoms;
    }

    // Starts up to `n` waiting tasks, in submission order.
    void StartWaiting(int n = 1 << 30) {
        std::lock_guard guard(m_lock);
        while (n-- > 0 && !m_waiting.empty()) {
            CTask* task = m_waiting.front();
            m_waiting.erase(m_waiting.begin());
            task->Start();
            m_executing.push_back(task);
        }
    }
    // What the host's "结束任务" does: Stop every task, delete those that agree.
    int CancelAll() {
        std::lock_guard guard(m_lock);
        const int present = int(m_executing.size() + m_waiting.size());
        for (auto* list : {&m_executing, &m_waiting}) {
            std::erase_if(*list, [](CTask* t) {
                if (t->Stop() != 1) return false;
                delete t;
                return true;
            });
        }
        return present;
    }
    // Completes queued tasks without running them (a sweep that is over).
    void DeleteAll() {
        std::lock_guard guard(m_lock);
        for (CTask* t : m_waiting) delete t;
        m_waiting.clear();
    }
    bool WaitForRemovals(int count, int timeoutMs = 10000) {
        std::unique_lock guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_removed >= count; });
    }
    std::vector<CTask*> Waiting() {
        std::lock_guard guard(m_lock);
        return m_waiting;
    }
    int ExecutingCount() {
        std::lock_guard guard(m_lock);
        return int(m_executing.size());
    }
    // Tasks of the probe type that the gate sees without any object behind them.
    void SetPhantoms(int n) {
        std::lock_guard guard(m_lock);
        m_phantoms = n;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<CTask*> m_waiting;    // guarded by m_lock
    std::vector<CTask*> m_executing;  // guarded by m_lock
    int m_removed = 0;                // guarded by m_lock
    int m_phantoms = 0;               // guarded by m_lock
};

// A sweep's table that answers from a map: address -> MACs (first, others).
class FakeSweepTable final : public vx::hostpatrol::ISweepTable {
public:
    std::map<QString, QStringList> macs;  // set before any probe runs
    std::atomic<int> asked{0};
    bool ResolveMac(const QString& address, QString& mac, QStringList& otherMacs,
                    const std::function<bool()>& stopped) override {
        ++asked;
        auto it = macs.find(address);
        if ((stopped && stopped()) || it == macs.end() || it->second.isEmpty()) return false;
        mac = it->second.first();
        otherMacs = it->second.mid(1);
        return true;
    }
};

// Answers from a table of live hosts; a gate can hold every probe until the
// test opens it.
class FakeProbe final : public vx::hostpatrol::IHostProbe {
public:
    struct Host {
        QString mac;
        QStringList shares;
    };

    void SetHost(const QString& address, const QString& mac, const QStringList& shares = {}) {
        std::lock_guard guard(m_lock);
        m_hosts[address] = {mac, shares};
    }
    void Hold() {
        std::lock_guard guard(m_lock);
        m_held = true;
    }
    void Release() {
        std::lock_guard guard(m_lock);
        m_held = false;
        m_gate.notify_all();
    }
    bool WaitForEntered(int count, int timeoutMs = 10000) {
        std::unique_lock guard(m_lock);
        return m_gate.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                               [&] { return m_entered >= count; });
    }
    int Exited() {
        std::lock_guard guard(m_lock);
        return m_exited;
    }
    int ShareCalls() {
        std::lock_guard guard(m_lock);
        return m_shareCalls;
    }

    bool ResolveMac(const QString& address, QString& mac) override {
        std::unique_lock guard(m_lock);
        ++m_entered;
        m_gate.notify_all();
        m_gate.wait(guard, [&] { return !m_held; });
        ++m_exited;
        auto it = m_hosts.find(address);
        if (it == m_hosts.end()) return false;
        mac = it->second.mac;
        return true;
    }
    QString RouteNotice() override { return notice; }
    // Set before any probe runs.
    QString notice;
    // When set, every sweep reads its answers from this table.
    std::shared_ptr<FakeSweepTable> sweepTable;
    std::atomic<int> sweepsBegun{0};
    std::shared_ptr<vx::hostpatrol::ISweepTable> BeginSweep(const QStringList& addresses) override {
        if (!sweepTable) return nullptr;
        ++sweepsBegun;
        sweepAddresses = addresses.size();
        return sweepTable;
    }
    std::atomic<int> sweepAddresses{0};

    void EnumHostShares(const QString& host, QStringList& names) override {
        std::lock_guard guard(m_lock);
        ++m_shareCalls;
        auto it = m_hosts.find(host);
        if (it != m_hosts.end()) names += it->second.shares;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_gate;
    std::map<QString, Host> m_hosts;  // guarded by m_lock
    bool m_held = false;              // guarded by m_lock
    int m_entered = 0;                // guarded by m_lock
    int m_exited = 0;                 // guarded by m_lock
    int m_shareCalls = 0;             // guarded by m_lock
};
