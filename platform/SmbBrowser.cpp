#include "platform/SmbBrowser.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

#include "platform/HelperPrograms.h"
#include "platform/NetText.h"
#include "platform/helpers/ShareFilter.h"

extern char** environ;

namespace vx::platform {

namespace {

using Clock = std::chrono::steady_clock;

// How often a running listing asks whether its probe was stopped; well
// inside the half second an exit may take.
constexpr int kCancelPollMs = 20;

// Output larger than this is not a share list.
constexpr qsizetype kMaxOutput = 1 << 20;

pid_t SpawnLister(const std::string& path, const std::string& host, int timeoutMs, int out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (qEnvironmentVariableIsEmpty("VX_SMB_DEBUG"))
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string timeout = std::to_string(timeoutMs);
    char* argv[] = {const_cast<char*>(path.c_str()), const_cast<char*>(host.c_str()),
                    const_cast<char*>(timeout.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

}  // namespace

namespace smb_detail {

bool KeepShare(unsigned int type, const QString& name) {
    return vx::smb_lister::KeepShare(type, name.toStdString());
}

bool IsPlainHost(const QString& host) {
    // Checked on the UTF-16 text: a non-Latin-1 character must not become
    // '?' or be dropped on the way to a byte string.
    for (QChar c : host)
        if (c.unicode() > 0x7f) return false;
    return vx::smb_lister::IsPlainHost(host.toStdString());
}

QStringList ParseListerOutput(const QByteArray& output) {
    if (!output.endsWith(".\n")) return {};
    QStringList names;
    const QList<QByteArray> lines = output.left(output.size() - 2).split('\n');
    for (const QByteArray& line : lines)
        // A name is the server's text: shown, logged and stored only cleaned,
        // and an administrative name stays out however it was disguised.
        if (const QString name = CleanNetworkText(QString::fromUtf8(line));
            !name.isEmpty() && !name.endsWith(u'$'))
            names << name;
    return names;
}

}  // namespace smb_detail

QString ShareListerPath() {
    return HelperProgramPath("VX_SMB_LISTER", QStringLiteral("vx-smblist"));
}

QStringList ListHostShares(const QString& host, int timeoutMs,
                           const std::function<bool()>& cancelled) {
    if (!smb_detail::IsPlainHost(host)) return {};
    if (timeoutMs <= 0) timeoutMs = 3000;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    if (cancelled && cancelled()) return {};
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
    const pid_t pid = SpawnLister(ShareListerPath().toLocal8Bit().toStdString(),
                                  host.toStdString(), timeoutMs, pipeFds[1]);
    ::close(pipeFds[1]);
    if (pid < 0) {
        ::close(pipeFds[0]);
        return {};
    }
    QByteArray output;
    bool complete = false;  // the child closed its output
    bool abandoned = false;
    while (!complete && !abandoned) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || (cancelled && cancelled())) {
            abandoned = true;
            break;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, kCancelPollMs)));
        if (r < 0 && errno != EINTR) abandoned = true;
        if (r <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n > 0) output.append(buf, n);
        else if (n == 0) complete = true;
        else if (errno != EINTR && errno != EAGAIN) abandoned = true;
        if (output.size() > kMaxOutput) abandoned = true;
    }
    ::close(pipeFds[0]);
    int status = 0;
    // A child that closed its output is about to exit; it still gets no
    // more than the deadline to do so.
    while (!abandoned) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) return {};
        if (Clock::now() >= deadline) abandoned = true;
        else ::usleep(1000);
    }
    if (abandoned) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return {};
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    return smb_detail::ParseListerOutput(output);
}

}  // namespace vx::platform
