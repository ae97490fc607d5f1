// The whole program as a user runs it: a virtual X display with a
// notification area, the real Vexmor started from a private copy of its
// portable folder, and a client of the test hook (TestHook.cpp, preloaded)
// that drives the real widgets. Real X input (xdotool) is used where Qt's own
// routing is part of what is tested: the tray icon.
#pragma once

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace vx::e2e {

// Polls `condition` every 100 ms (events keep flowing) until it holds or
// `ms` have passed.
bool WaitUntil(const std::function<bool()>& condition, int ms);

// Xvfb with trayer as the notification-area host, for the whole test run.
class Desktop {
public:
    ~Desktop() { Stop(); }
    bool Start(QString* error);
    void Stop();
    QString Display() const { return m_display; }
    // A click of the X server itself at a screen position (1 left, 3 right).
    bool ClickAt(int x, int y, int button) const;

private:
    QProcess m_xvfb;
    QProcess m_tray;
    QString m_display;
};

// One program folder and the program run from it, as often as a scenario
// restarts it. The folder is a copy of the build's portable folder (the
// program, ToolDlls, helpers) owned by the user the program runs as.
class Program {
public:
    // `unprivileged`: run as the user nobody (setpriv), else as the caller.
    Program(const Desktop& desktop, bool unprivileged);
    ~Program();

    bool Prepare(QString* error);
    QString Dir() const { return m_root.path() + QStringLiteral("/bin/"); }
    // Runs the program inside another lab namespace (ip netns exec).
    void SetNamespace(const QString& ns) { m_namespace = ns; }
    void SetEnvironment(const QString& key, const QString& value) { m_extraEnv << key + '=' + value; }

    // Starts the program and connects to its hook; true once it answers.
    bool Start(QString* error);
    bool WaitForExit(int ms);
    bool Running() const { return m_process.state() != QProcess::NotRunning; }
    int ExitCode() const { return m_process.exitCode(); }
    bool CrashExit() const { return m_process.exitStatus() == QProcess::CrashExit; }
    QString Output() const { return m_output; }
    void Kill();

    // One hook command; the answer, or {"ok": false} when the program is gone.
    QJsonObject Call(const QString& command);
    bool Ok(const QString& command) { return Call(command).value("ok").toBool(); }
    QJsonObject Widget(const QString& path);
    bool Visible(const QString& path) { return Widget(path).value("visible").toBool(); }
    QString Text(const QString& path) { return Widget(path).value("text").toString(); }
    QJsonArray Rows(const QString& path);
    // Column `column` of every row of a list.
    QStringList Column(const QString& path, int column);
    QString ActiveModal() { return Call("windows").value("modal").toString(); }
    // The texts of the message boxes shown so far (the program logs them).
    QStringList MessageBoxes() const;
    // Saves a screenshot of the screen (or of one widget) as `name`.png into
    // the folder VX_E2E_SHOTS names; false when it could not be taken.
    bool Shot(const QString& name, const QString& path = QStringLiteral("screen"));

    // A real click on the tray icon.
    bool ClickTray(int button);

private:
    bool Connect(int ms);

    const Desktop& m_desktop;
    bool m_unprivileged;
    QTemporaryDir m_root;  // bin/ (the program folder), hook/, home/, run/
    QString m_namespace;
    QStringList m_extraEnv;
    QProcess m_process;
    QString m_output;
    QLocalSocket m_hook;
    QElapsedTimer m_lastTrayClick;
};

// Files over HTTP on 127.0.0.1 of the namespace the test runs in, served
// from a thread of its own: the program's update check holds its UI thread
// until the answer comes, and the test's hook calls wait for that thread.
class FileServer {
public:
    ~FileServer();
    bool Start();
    int Port() const { return m_port; }
    void Serve(const QByteArray& path, const QByteArray& body);

private:
    void Run();
    void Answer(int client);

    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    QHash<QByteArray, QByteArray> m_files;  // guarded by m_lock
};

}  // namespace vx::e2e
