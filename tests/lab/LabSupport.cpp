#include "lab/LabSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/socket.h>
#include <vector>

#include "platform/Neighbour.h"
#include "platform/NetworkInfo.h"

namespace vx::lab {

namespace {

LabFacts g_facts;

QString LabId() {
    const QByteArray id = qgetenv("VX_LAB_ID");
    return id.isEmpty() ? QStringLiteral("default") : QString::fromLocal8Bit(id);
}

QString LabDir() { return QStringLiteral(VX_LAB_DIR); }

bool NamespaceExists(const QString& name) {
    struct stat st {};
    return ::stat(QStringLiteral("/run/netns/%1").arg(name).toLocal8Bit().constData(), &st) == 0;
}

// The channel to the root process of an unprivileged test, or -1.
int PrivilegedChannel() {
    static const int fd = [] {
        bool ok = false;
        const int n = qEnvironmentVariableIntValue("VX_LAB_PRIV_FD", &ok);
        return ok && geteuid() != 0 ? n : -1;
    }();
    return fd;
}

bool WriteAll(int fd, const void* data, size_t len) {
    const char* p = static_cast<const char*>(data);
    while (len > 0) {
        const ssize_t n = ::write(fd, p, len);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        len -= size_t(n);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t len) {
    char* p = static_cast<char*>(data);
    while (len > 0) {
        const ssize_t n = ::read(fd, p, len);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        len -= size_t(n);
    }
    return true;
}

bool SendBlock(int fd, const QByteArray& block) {
    const uint32_t len = uint32_t(block.size());
    return WriteAll(fd, &len, 4) && WriteAll(fd, block.constData(), len);
}

bool ReceiveBlock(int fd, QByteArray& block) {
    uint32_t len = 0;
    if (!ReadAll(fd, &len, 4) || len > (1u << 20)) return false;
    block.resize(len);
    return ReadAll(fd, block.data(), len);
}

// What an unprivileged test may have its root process run.
bool MayRunFor(const QStringList& c) {
    const QString id = LabId();
    const QStringList idArgs{"--id", id};
    if (c.size() >= 2 && c[0] == "bash") {
        const QStringList rest = c.mid(2);
        if (c[1] == LabDir() + "/env.sh") return rest == idArgs;
        if (c[1] == LabDir() + "/link.sh")
            return rest == QStringList{"up"} + idArgs || rest == QStringList{"down"} + idArgs ||
                   rest == QStringList{"smbdrop", "on"} + idArgs ||
                   rest == QStringList{"smbdrop", "off"} + idArgs ||
                   rest == QStringList{"dnsdrop", "on"} + idArgs ||
                   rest == QStringList{"dnsdrop", "off"} + idArgs;
        return false;
    }
    if (c == QStringList{"ip", "neigh", "flush", "dev", "eth0"}) return true;
    if (c.size() >= 3 && c[0] == "sysctl" && c[1] == "-qw") {
        static const QRegularExpression setting(
            QStringLiteral("^net\\.ipv4\\.neigh\\.eth0\\.(base_reachable_time_ms|"
                           "delay_first_probe_time|retrans_time_ms)=[0-9]{1,6}$"));
        for (const QString& a : c.mid(2))
            if (!setting.match(a).hasMatch()) return false;
        return true;
    }
    return false;
}

// Root side: gives the ARP helper its capability, runs the test as
// VX_LAB_USER and its lab commands until it ends; its exit code.
int RunAsLabUser(int argc, char** argv) {
    const QString helper = vx::platform::ArpHelperPath();
    if (QFileInfo::exists(helper))
        RunCommand({"setcap", "cap_net_raw+ep", helper});  // what scripts/setup.sh does
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) return 1;
    const QByteArray user = qgetenv("VX_LAB_USER");
    const pid_t pid = ::fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        ::fcntl(pair[1], F_SETFD, 0);
        ::setenv("VX_LAB_PRIV_FD", std::to_string(pair[1]).c_str(), 1);
        const std::string reuid = "--reuid=" + user.toStdString();
        const std::string regid = "--regid=" + (user == "nobody" ? std::string("nogroup")
                                                                  : user.toStdString());
        char self[4096] = {};
        const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        std::vector<std::string> args = {"setpriv", reuid, regid, "--clear-groups",
                                         "--inh-caps=-all", n > 0 ? self : argv[0]};
        for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
        std::vector<char*> cargs;
        for (auto& a : args) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        ::execvp("setpriv", cargs.data());
        ::_exit(127);
    }
    ::close(pair[1]);
    QByteArray request;
    while (ReceiveBlock(pair[0], request)) {
        QStringList command;
        for (const QByteArray& a : request.split('\0')) command << QString::fromLocal8Bit(a);
        QString output;
        const int32_t rc = MayRunFor(command) ? RunCommand(command, &output) : 126;
        if (!WriteAll(pair[0], &rc, 4) || !SendBlock(pair[0], output.toLocal8Bit())) break;
    }
    ::close(pair[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int AskPrivileged(int fd, const QStringList& command, QString* output) {
    static std::mutex lock;
    std::lock_guard guard(lock);
    int32_t rc = -1;
    QByteArray out;
    if (!SendBlock(fd, command.join(QChar(0)).toLocal8Bit()) || !ReadAll(fd, &rc, 4) ||
        !ReceiveBlock(fd, out))
        return -1;
    if (output) *output = QString::fromLocal8Bit(out);
    return rc;
}

}  // namespace

QList<int> LabFacts::Hosts() const {
    QList<int> out;
    for (const QString& n : Value("VXLAB_HOSTS").split(' ', Qt::SkipEmptyParts)) out << n.toInt();
    return out;
}

QStringList LabFacts::LiveAddresses() const {
    return Value("VXLAB_LIVE_ADDRS").split(' ', Qt::SkipEmptyParts);
}

bool LabFacts::Load() {
    QString out;
    if (RunCommand({"bash", LabDir() + "/env.sh", "--id", LabId()}, &out) != 0) return false;
    m_values.clear();
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        const int eq = line.indexOf('=');
        if (eq <= 0) continue;
        QString value = line.mid(eq + 1);
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        m_values.insert(line.left(eq), value);
    }
    return !m_values.isEmpty();
}

const LabFacts& Lab() { return g_facts; }

int RunCommand(const QStringList& command, QString* output) {
    if (const int channel = PrivilegedChannel(); channel >= 0)
        return AskPrivileged(channel, command, output);
    // fork/exec rather than QProcess: this runs before any application
    // object exists, and the child must not inherit Qt's state.
    std::vector<std::string> args;
    for (const QString& a : command) args.push_back(a.toStdString());
    std::vector<char*> cargs;
    for (auto& a : args) cargs.push_back(a.data());
    cargs.push_back(nullptr);
    int pipeFds[2] = {-1, -1};
    if (output && ::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (output) ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execvp(cargs[0], cargs.data());
        ::_exit(127);
    }
    if (output) {
        ::close(pipeFds[1]);
        QByteArray text;
        char buf[4096];
        ssize_t n;
        while ((n = ::read(pipeFds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) text.append(buf, n);
        ::close(pipeFds[0]);
        *output = QString::fromLocal8Bit(text);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunLabScript(const QString& script, const QStringList& args) {
    QString ignored;
    return RunCommand(
        QStringList{"bash", LabDir() + "/" + script} + args + QStringList{"--id", LabId()},
        &ignored);
}

int LabMain(int argc, char** argv, const std::function<int(int, char**)>& run,
            const QString& nodeKey) {
    const QString ws = QStringLiteral("vxlab-%1-ws").arg(LabId());
    if (qEnvironmentVariableIsEmpty("VX_LAB_INSIDE")) {
        if (geteuid() != 0) {
            std::fprintf(stderr, "SKIP: the lab needs root\n");
            return 77;
        }
        if (!NamespaceExists(ws)) {
            QString out;
            int rc = RunCommand({"bash", LabDir() + "/up.sh", "--id", LabId()}, &out);
            if (rc == 77) {
                std::fprintf(stderr, "SKIP: network namespaces unavailable\n");
                return 77;
            }
            if (rc != 0 || !NamespaceExists(ws)) {
                std::fprintf(stderr, "lab/up.sh failed (%d)\n", rc);
                return 1;
            }
        }
        if (!g_facts.Load() || g_facts.Value(nodeKey).isEmpty()) {
            std::fprintf(stderr, "lab: no namespace for %s\n", qPrintable(nodeKey));
            return 1;
        }
        ::setenv("VX_LAB_INSIDE", "1", 1);
        std::vector<std::string> args = {"ip", "netns", "exec",
                                         g_facts.Value(nodeKey).toStdString()};
        char self[4096] = {};
        ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
        args.push_back(n > 0 ? std::string(self, size_t(n)) : std::string(argv[0]));
        for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
        std::vector<char*> cargs;
        for (auto& a : args) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        ::execvp("ip", cargs.data());
        std::perror("exec ip netns exec");
        return 1;
    }
    if (geteuid() == 0 && !qEnvironmentVariableIsEmpty("VX_LAB_USER"))
        return RunAsLabUser(argc, argv);
    // Inside: make sure that "inside" is true before anything is probed.
    const QStringList own = vx::platform::LocalIPv4Addresses();
    if (own.isEmpty() || !own.first().startsWith(QLatin1String("10.213.7."))) {
        std::fprintf(stderr, "refusing to probe: first address %s is not a lab address\n",
                     qPrintable(own.value(0, "(none)")));
        return 1;
    }
    QTemporaryDir home;
    ::setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    if (!g_facts.Load()) {
        std::fprintf(stderr, "lab/env.sh failed\n");
        return 1;
    }
    return run(argc, argv);
}

}  // namespace vx::lab
