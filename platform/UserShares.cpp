#include "platform/UserShares.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <sys/vfs.h>

namespace vx::platform {

IUserShares::~IUserShares() = default;

namespace usershare_detail {
namespace {

// Samba refuses these in share names; "*" also keeps the stored name*path
// pairs of the share setter readable.
const QString kInvalidNameChars = QStringLiteral("%<>*?|/\\+=;:\",");

bool HasControlChars(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
    return false;
}

ShareOutcome Refusal(int code, const QString& advice = QString()) { return {code, advice}; }

}  // namespace

QList<UsershareInfo> ParseUsershareInfo(const QString& text) {
    QList<UsershareInfo> shares;
    UsershareInfo* current = nullptr;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.startsWith(u'[')) {
            current = nullptr;
            if (line.size() < 2 || !line.endsWith(u']')) continue;
            shares.append(UsershareInfo{});
            current = &shares.last();
            current->name = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!current || eq <= 0) continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1);
        if (key == QLatin1String("path"))
            current->path = value;
        else if (key == QLatin1String("comment"))
            current->comment = value;
        else if (key == QLatin1String("usershare_acl"))
            current->acl = value;
        else if (key == QLatin1String("guest_ok"))
            current->guestOk = value.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0;
    }
    return shares;
}

QStringList ParseSectionNames(const QString& text) {
    QStringList names;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.size() >= 2 && line.startsWith(u'[') && line.endsWith(u']'))
            names << line.mid(1, line.size() - 2);
    }
    return names;
}

ShareOutcome ClassifyNetFailure(const QString& errorText, int exitStatus) {
    const auto has = [&errorText](const char* what) {
        return errorText.contains(QLatin1String(what), Qt::CaseInsensitive);
    };
    const QString group = QCoreApplication::translate(
        "vx::platform::UserShares",
        "请把当前用户加入 sambashare 组（scripts/setup.sh 会做）并重新登录，再共享");
    if (has("usershares are currently disabled"))
        return Refusal(
            share_code::kAccessDenied,
            QCoreApplication::translate("vx::platform::UserShares",
                                        "Samba 未启用用户共享：请在 smb.conf 的 [global] 中设置 "
                                        "usershare max shares = 100"));
    if (has("do not have permission to create a usershare") ||
        (has("cannot open usershare directory") && has("permission denied")))
        return Refusal(share_code::kAccessDenied, group);
    if (has("cannot open usershare directory"))
        return Refusal(
            share_code::kAccessDenied,
            QCoreApplication::translate("vx::platform::UserShares",
                                        "Samba 的用户共享目录不可用：请检查 smb.conf 中的 "
                                        "usershare path"));
    if (has("usershare allow guests"))
        return Refusal(share_code::kAccessDenied,
                       QCoreApplication::translate(
                           "vx::platform::UserShares",
                           "Samba 不允许来宾访问用户共享：请在 smb.conf 的 [global] 中"
                           "设置 usershare allow guests = yes（scripts/setup.sh 会做）"));
    if (has("only sharing directories we own"))
        return Refusal(share_code::kAccessDenied,
                       QCoreApplication::translate(
                           "vx::platform::UserShares",
                           "Samba 只允许共享自己拥有的文件夹：请共享自己的文件夹，或在 "
                           "smb.conf 的 [global] 中设置 usershare owner only = false"));
    if (has("maximum number of allowed usershares"))
        return Refusal(share_code::kAccessDenied,
                       QCoreApplication::translate(
                           "vx::platform::UserShares",
                           "Samba 用户共享数已达上限：请在 smb.conf 的 [global] 中调高 "
                           "usershare max shares"));
    if (has("cannot stat path") && has("permission denied"))
        return Refusal(share_code::kAccessDenied);
    if (has("cannot stat path") || has("is not a directory") || has("is not an absolute path"))
        return Refusal(share_code::kNoFolder);
    if (has("contains invalid characters"))
        return Refusal(
            share_code::kInvalidName,
            QCoreApplication::translate("vx::platform::UserShares", "共享名不能含有以下字符：") +
                kInvalidNameChars);
    if (has("is already a valid system user name"))
        return Refusal(
            share_code::kDuplicate,
            QCoreApplication::translate("vx::platform::UserShares", "共享名与本机的用户名相同"));
    if (has("unable to remove usershare") && has("no such file"))
        return Refusal(share_code::kNotShared);
    // Net's own words are the best explanation of what it did not like.
    const QString first = errorText.trimmed().section(u'\n', 0, 0).trimmed();
    return Refusal(exitStatus != 0 ? exitStatus : -1, first);
}

ShareOutcome CheckName(const QString& name) {
    if (name.size() > kMaxShareText)
        return Refusal(share_code::kTooLong, QCoreApplication::translate("vx::platform::UserShares",
                                                                         "共享名超过254个字符"));
    if (name.isEmpty() || HasControlChars(name))
        return Refusal(
            share_code::kInvalidName,
            QCoreApplication::translate("vx::platform::UserShares", "共享名为空或含有控制字符"));
    for (const QChar c : name)
        if (kInvalidNameChars.contains(c))
            return Refusal(share_code::kInvalidName,
                           QCoreApplication::translate("vx::platform::UserShares",
                                                       "共享名不能含有以下字符：") +
                               kInvalidNameChars);
    for (const char* reserved : {"global", "homes", "printers", "ipc$"})
        if (name.compare(QLatin1String(reserved), Qt::CaseInsensitive) == 0)
            return Refusal(
                share_code::kDuplicate,
                QCoreApplication::translate("vx::platform::UserShares", "“%1”是 Samba 保留的名称")
                    .arg(name));
    return {};
}

ShareOutcome CheckPathText(const QString& path) {
    if (path.size() > kMaxShareText)
        return Refusal(
            share_code::kTooLong,
            QCoreApplication::translate("vx::platform::UserShares", "文件夹路径超过254个字符"));
    if (HasControlChars(path))
        return Refusal(share_code::kBadPath, QCoreApplication::translate("vx::platform::UserShares",
                                                                         "文件夹路径含有控制字符"));
    return {};
}

bool IsNetworkFileSystem(long fsType) {
    switch (static_cast<unsigned long>(fsType) & 0xFFFFFFFFul) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x5346414F:  // AFS
        case 0x6B414653:  // kAFS
        case 0x73757245:  // Coda
        case 0x564C:      // NCP
        case 0x01021997:  // 9p
        case 0x00C36400:  // Ceph
            return true;
        default:
            return false;
    }
}

}  // namespace usershare_detail

namespace {

using namespace usershare_detail;

struct NetRun {
    int code = share_code::kOk;  // a failure to run at all, else 0
    int exitStatus = 0;
    QString out;
    QString err;
};

NetRun RunTool(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Failures are recognised by net's English texts.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.remove(QStringLiteral("LANGUAGE"));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, args);
    NetRun run;
    if (!process.waitForStarted(timeoutMs)) {
        run.code = share_code::kNotFound;
        return run;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        run.code = share_code::kTimeout;
        return run;
    }
    run.exitStatus = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

ShareOutcome RunFailure(const NetRun& run) {
    if (run.code == share_code::kNotFound)
        return {run.code, QCoreApplication::translate("vx::platform::UserShares",
                                                      "无法运行 Samba 的 net 命令：请安装 samba 与 "
                                                      "samba-common-bin")};
    if (run.code == share_code::kTimeout)
        return {run.code, QCoreApplication::translate("vx::platform::UserShares",
                                                      "Samba 的 net 命令没有及时应答")};
    return ClassifyNetFailure(run.err, run.exitStatus);
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

ShareOutcome NetUserShares::Add(const QString& name, const QString& path) {
    if (ShareOutcome check = CheckName(name); !check.Ok()) return check;
    if (ShareOutcome check = CheckPathText(path); !check.Ok()) return check;
    const QFileInfo folder(path);
    if (!folder.isAbsolute() || !folder.isDir()) return {share_code::kNoFolder, {}};
    struct statfs fs {};
    if (::statfs(QFile::encodeName(path).constData(), &fs) == 0 &&
        IsNetworkFileSystem(static_cast<long>(fs.f_type)))
        return {share_code::kRedirected,
                QCoreApplication::translate("vx::platform::UserShares",
                                            "网络文件系统上的文件夹不能再共享")};

    // Every user's usershares: net would silently replace one of the same name.
    const NetRun info =
        RunTool(QStringLiteral("net"),
                {QStringLiteral("usershare"), QStringLiteral("info"), QStringLiteral("--long")},
                m_timeoutMs);
    if (info.code != share_code::kOk || info.exitStatus != 0) return RunFailure(info);
    for (const UsershareInfo& share : ParseUsershareInfo(info.out))
        if (SameName(share.name, name)) return {share_code::kDuplicate, {}};
    // A usershare named like a share of smb.conf would be shadowed by it, and
    // the name would then lead to that other folder.
    const NetRun config = RunTool(QStringLiteral("testparm"), {QStringLiteral("-s")}, m_timeoutMs);
    if (config.code == share_code::kOk)
        for (const QString& section : ParseSectionNames(config.out))
            if (SameName(section, name)) return {share_code::kDuplicate, {}};

    // "--" so that a name starting with '-' is not taken for an option.
    const NetRun add =
        RunTool(QStringLiteral("net"),
                {QStringLiteral("usershare"), QStringLiteral("add"), QStringLiteral("--"), name,
                 path, QString(), QStringLiteral("S-1-1-0:R"), QStringLiteral("guest_ok=y")},
                m_timeoutMs);
    if (add.code != share_code::kOk || add.exitStatus != 0) return RunFailure(add);
    return {};
}

ShareOutcome NetUserShares::Delete(const QString& name) {
    if (ShareOutcome check = CheckName(name); !check.Ok()) return check;
    const NetRun run =
        RunTool(QStringLiteral("net"),
                {QStringLiteral("usershare"), QStringLiteral("delete"), QStringLiteral("--"), name},
                m_timeoutMs);
    if (run.code != share_code::kOk || run.exitStatus != 0) return RunFailure(run);
    return {};
}

}  // namespace vx::platform
