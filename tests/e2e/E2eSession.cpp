#include "e2e/E2eSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTest>

#include "lab/LabSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "e2e/E2eTexts.h"
#include "lab/LabSupport.h"
#include "platform/Gbk.h"

namespace vx::e2e {
namespace {

constexpr int kNobody = 65534;
constexpr int kHookTimeoutMs = 5000;
constexpr int kDoubleClickMs = 700;  // above Qt's default of 400 ms

QString BinDir() { return qEnvironmentVariable("VX_BIN_DIR"); }

bool Run(const QStringList& command) { return vx::lab::RunCommand(command) == 0; }

}  // namespace

bool WaitUntil(const std::function<bool()>& condition, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > ms) return false;
        QTest::qWait(100);
    }
    return true;
}

// ---- the display ---------------------------------------------------------------

bool Desktop::Start(QString* error) {
    // -displayfd picks a free display and prints its number when it is ready.
    m_xvfb.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    QByteArray number;
    const bool ready = WaitUntil(
        [&] {
            number += m_xvfb.readAllStandardOutput();
            return number.endsWith('\n') || m_xvfb.state() == QProcess::NotRunning;
        },
        10000);
    if (!ready || number.trimmed().isEmpty()) {
        *error = "Xvfb did not start: " + QString::fromLocal8Bit(m_xvfb.readAllStandardError());
        return false;
    }
    m_display = ':' + QString::fromLatin1(number.trimmed());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_display);
    m_tray.setProcessEnvironment(env);
    m_tray.start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "request",
                            "--height", "24", "--SetDockType", "true"});
    // The program asks for a tray once, when its window is made: the tray
    // host must own the selection by then.
    QProcess probe;
    probe.setProcessEnvironment(env);
    const bool tray = WaitUntil(
        [&] {
            probe.start("xdotool", {"search", "--class", "trayer"});
            probe.waitForFinished(2000);
            return !probe.readAllStandardOutput().trimmed().isEmpty();
        },
        10000);
    if (!tray)
        *error = "trayer did not come up on " + m_display + ": " +
                 QString::fromLocal8Bit(m_tray.readAllStandardError() + probe.readAllStandardError());
    QTest::qWait(300);
    return tray;
}

void Desktop::Stop() {
    for (QProcess* p : {&m_tray, &m_xvfb}) {
        if (p->state() == QProcess::NotRunning) continue;
        p->terminate();
        if (!p->waitForFinished(3000)) p->kill();
        p->waitForFinished(1000);
    }
}

bool Desktop::ClickAt(int x, int y, int button) const {
    QProcess xdotool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_display);
    xdotool.setProcessEnvironment(env);
    xdotool.start("xdotool", {"mousemove", QString::number(x), QString::number(y), "click",
                              QString::number(button)});
    return xdotool.waitForFinished(5000) && xdotool.exitCode() == 0;
}

// ---- the program ---------------------------------------------------------------

Program::Program(const Desktop& desktop, bool unprivileged)
    : m_desktop(desktop), m_unprivileged(unprivileged) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&m_process, &QProcess::readyRead,
                     [this] { m_output += QString::fromLocal8Bit(m_process.readAll()); });
}

Program::~Program() { Kill(); }

bool Program::Prepare(QString* error) {
    if (!m_root.isValid() || BinDir().isEmpty()) {
        *error = "no temporary folder or no VX_BIN_DIR";
        return false;
    }
    const QString root = m_root.path();
    // cp -a keeps the helpers' file capabilities (root copies extended attributes).
    // The hook library goes into the private hook folder, where the user the
    // program runs as can read it.
    if (!Run({"cp", "-a", BinDir(), root + "/bin"}) ||
        !QDir(root).mkpath("hook") || !QDir(root).mkpath("home") || !QDir(root).mkpath("run") ||
        !QFile::copy(qEnvironmentVariable("VX_E2E_HOOK_LIBRARY"), root + "/hook/libvx_testhook.so")) {
        *error = "cannot copy the program folder";
        return false;
    }
    // The English run chooses its language the way a user does: in the
    // settings, which the program reads in GBK.
    if (const QString language = RunLanguage(); !language.isEmpty()) {
        QFile ini(root + "/bin/Vexmor.ini");
        if (!ini.open(QIODevice::WriteOnly) ||
            ini.write(vx::platform::ToGbk("[界面]\r\n语言=" + language + "\r\n")) < 0) {
            *error = "cannot write the language setting";
            return false;
        }
    }
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                    QFile::ExeOther | QFile::ReadOther);
    for (const char* dir : {"/hook", "/run", "/home"})
        QFile::setPermissions(root + dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!m_unprivileged) return true;
    // A change of owner drops file capabilities: give the helpers theirs back.
    QString capabilities;
    vx::lab::RunCommand({"getcap", "-r", BinDir()}, &capabilities);
    if (!Run({"chown", "-R", QStringLiteral("%1:%1").arg(kNobody), root + "/bin", root + "/hook",
              root + "/home", root + "/run"})) {
        *error = "cannot hand the folder to the user nobody";
        return false;
    }
    for (const QString& line : capabilities.split('\n', Qt::SkipEmptyParts)) {
        const QString file = line.section(' ', 0, 0);
        if (!file.startsWith(BinDir()) ||
            !Run({"setcap", line.section(' ', 1), root + "/bin" + file.mid(BinDir().size())})) {
            *error = "cannot give back the capabilities of " + file;
            return false;
        }
    }
    return true;
}

bool Program::Start(QString* error) {
    m_output.clear();
    const QString root = m_root.path();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_desktop.Display());
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", root + "/home");
    // The instance lock lives in the runtime folder: a private one keeps this
    // run apart from any other Vexmor on the machine.
    env.insert("XDG_RUNTIME_DIR", root + "/run");
    env.insert("VX_TEST_HOOK", root + "/hook/socket");
    env.insert("VX_MESSAGEBOX_LOG", root + "/home/boxes.txt");
    env.remove("VX_PROGRAM_DIR");
    // Every address the program fetches is on this namespace's loopback.
    for (const char* proxy : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                              "all_proxy", "ALL_PROXY"})
        env.remove(proxy);
    for (const QString& pair : m_extraEnv) env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
    if (!env.contains("LSAN_OPTIONS") && env.contains("VX_E2E_LSAN"))
        env.insert("LSAN_OPTIONS", "suppressions=" + env.value("VX_E2E_LSAN"));
    m_process.setProcessEnvironment(env);

    QStringList command;
    if (!m_namespace.isEmpty()) command << "ip" << "netns" << "exec" << m_namespace;
    if (m_unprivileged)
        command << "setpriv" << QStringLiteral("--reuid=%1").arg(kNobody)
                << QStringLiteral("--regid=%1").arg(kNobody) << "--clear-groups" << "--";
    // Preloaded into the program alone (not into ip or setpriv, and the hook
    // drops it again for whatever the program starts). A sanitizer build's
    // runtime then no longer comes first, which is harmless here.
    command << "env" << "LD_PRELOAD=" + root + "/hook/libvx_testhook.so" << Dir() + "Vexmor";
    m_process.start(command.takeFirst(), command);
    if (!m_process.waitForStarted(5000) || !Connect(15000)) {
        *error = "the program did not answer on its hook: " + m_output;
        Kill();
        return false;
    }
    // Whoever could connect would control the program: its owner alone may.
    struct stat st {};
    if (::stat(QFile::encodeName(root + "/hook/socket").constData(), &st) != 0 ||
        (st.st_mode & 0777) != 0600) {
        *error = QStringLiteral("the hook's socket has mode %1").arg(st.st_mode & 0777, 0, 8);
        Kill();
        return false;
    }
    return true;
}

bool Program::Connect(int ms) {
    const QString path = m_root.path() + "/hook/socket";
    return WaitUntil(
        [&] {
            if (!Running()) return true;
            m_hook.abort();
            m_hook.connectToServer(path);
            return m_hook.waitForConnected(500);
        },
        ms) &&
           Running() && Ok("ping");
}

bool Program::WaitForExit(int ms) {
    const bool ended = WaitUntil([this] { return !Running(); }, ms);
    m_hook.abort();
    return ended;
}

void Program::Kill() {
    m_hook.abort();
    if (!Running()) return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

QJsonObject Program::Call(const QString& command) {
    if (m_hook.state() != QLocalSocket::ConnectedState) return {{"ok", false}};
    m_hook.write(command.toUtf8() + '\n');
    m_hook.flush();
    QElapsedTimer clock;
    clock.start();
    while (!m_hook.canReadLine()) {
        if (clock.elapsed() > kHookTimeoutMs || m_hook.state() != QLocalSocket::ConnectedState)
            return {{"ok", false}, {"error", "no answer"}};
        m_hook.waitForReadyRead(100);
    }
    return QJsonDocument::fromJson(m_hook.readLine()).object();
}

QJsonObject Program::Widget(const QString& path) {
    return Call("get " + path).value("widget").toObject();
}

QJsonArray Program::Rows(const QString& path) { return Call("rows " + path).value("rows").toArray(); }

QStringList Program::Column(const QString& path, int column) {
    QStringList out;
    for (const QJsonValue& row : Rows(path))
        out << row.toObject().value("cells").toArray().at(column).toString();
    return out;
}

QStringList Program::MessageBoxes() const {
    QFile log(m_root.path() + "/home/boxes.txt");
    if (!log.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts);
}

bool Program::Shot(const QString& name, const QString& path) {
    QString shots = qEnvironmentVariable("VX_E2E_SHOTS");
    if (shots.isEmpty()) return true;
    if (!RunLanguage().isEmpty()) shots += '/' + RunLanguage();
    const QString own = m_root.path() + "/home/" + name + ".png";
    if (!Ok("shot " + path + ' ' + own)) return false;
    QDir().mkpath(shots);
    QFile::remove(shots + '/' + name + ".png");
    return QFile::copy(own, shots + '/' + name + ".png");
}

bool Program::ClickTray(int button) {
    // Two clicks within the double-click time make a double click, which the
    // program ignores, as a user's double click does.
    if (m_lastTrayClick.isValid() && m_lastTrayClick.elapsed() < kDoubleClickMs)
        QTest::qWait(kDoubleClickMs - int(m_lastTrayClick.elapsed()));
    m_lastTrayClick.start();
    const QJsonObject tray = Call("tray");
    const QJsonObject at = tray.value("geometry").toObject();
    if (!tray.value("visible").toBool() || at.value("w").toInt() <= 0) return false;
    return m_desktop.ClickAt(at.value("x").toInt() + at.value("w").toInt() / 2,
                             at.value("y").toInt() + at.value("h").toInt() / 2, button);
}

// ---- the file server -----------------------------------------------------------

FileServer::~FileServer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_listen >= 0) ::close(m_listen);
}

bool FileServer::Start() {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listen, 8) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Run(); });
    return true;
}

void FileServer::Serve(const QByteArray& path, const QByteArray& body) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_files.insert(path, body);
}

void FileServer::Run() {
    while (!m_stop) {
        pollfd wait{m_listen, POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0) continue;
        const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        Answer(client);
        ::close(client);
    }
}

void FileServer::Answer(int client) {
    QByteArray request;
    char chunk[2048];
    while (!request.contains("\r\n\r\n") && request.size() < 65536) {
        pollfd wait{client, POLLIN, 0};
        if (::poll(&wait, 1, 2000) <= 0) return;
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        request.append(chunk, n);
    }
    const QByteArray path = request.split(' ').value(1);
    QByteArray body;
    bool found = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        found = m_files.contains(path);
        body = m_files.value(path);
    }
    const QByteArray answer = (found ? QByteArray("HTTP/1.1 200 OK\r\n")
                                     : QByteArray("HTTP/1.1 404 Not Found\r\n")) +
                              "Content-Length: " + QByteArray::number(body.size()) +
                              "\r\nConnection: close\r\n\r\n" + body;
    for (qsizetype sent = 0; sent < answer.size();) {
        const ssize_t n = ::send(client, answer.constData() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += n;
    }
}

}  // namespace vx::e2e
