// The machine's share service: Samba usershares, made and removed with
// `net usershare`. A folder shared here is readable by everyone on the
// network, guests included, and writable by nobody through the share.
//
// Outcomes carry the result codes of the share service the program was
// written against, so that callers keep one table of reason texts:
//   0     success
//   5     access denied: no right to the usershare directory, usershares
//         disabled or full, guests not allowed, a folder the user does not
//         own while "usershare owner only" holds, a folder the user cannot
//         reach
//   123   a share name Samba cannot take (empty, control characters, any of
//         %<>*?|/\+=;:",)
//   161   a path with control characters (they would break the usershare file)
//   206   a name or path longer than 254 characters (refused, never cut)
//   2116  the folder does not exist, is not a folder or is not absolute
//   2117  the folder lies on a network file system (SMB, NFS, ...): the
//         counterpart of sharing a redirected drive, refused the same way
//   2118  the name is taken, case-insensitively: another usershare (of any
//         user), a share of smb.conf, a name Samba reserves ("global",
//         "homes", "printers", "ipc$") or a local user's name
//   2310  deleting a name that is not shared
//   1460  `net` did not answer in time; 2 when it cannot be started
//   other net's own exit status, for failures it does not explain
// `net usershare add` replaces a share of the same name without a word; Add
// refuses that itself (2118) before it runs.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace vx::platform {

namespace share_code {
constexpr int kOk = 0;
constexpr int kNotFound = 2;
constexpr int kAccessDenied = 5;
constexpr int kInvalidName = 123;
constexpr int kBadPath = 161;
constexpr int kTooLong = 206;
constexpr int kTimeout = 1460;
constexpr int kNoFolder = 2116;
constexpr int kRedirected = 2117;
constexpr int kDuplicate = 2118;
constexpr int kNotShared = 2310;
}  // namespace share_code

// The longest name and path the operations take, in UTF-16 units.
constexpr int kMaxShareText = 254;

struct ShareOutcome {
    int code = share_code::kOk;
    // One line for the user saying what to change (for refusals that come
    // from the local Samba set-up, or that the code alone does not explain);
    // empty when there is nothing to add.
    QString advice;
    bool Ok() const { return code == share_code::kOk; }
};

class IUserShares {
public:
    // Defined in the platform library, so the class's tables live there only.
    virtual ~IUserShares();
    // Shares folder `path` as `name`: everyone may read, nobody may write.
    virtual ShareOutcome Add(const QString& name, const QString& path) = 0;
    // Removes the share `name`.
    virtual ShareOutcome Delete(const QString& name) = 0;
};

// `net usershare` (and `testparm` for the shares of smb.conf), run as argument
// vectors without a shell, with the environment of this process: SMB_CONF_PATH
// chooses the configuration. Blocks until net answers or `timeoutMs` passes.
class NetUserShares final : public IUserShares {
public:
    explicit NetUserShares(int timeoutMs = 15000) : m_timeoutMs(timeoutMs) {}
    ShareOutcome Add(const QString& name, const QString& path) override;
    ShareOutcome Delete(const QString& name) override;

private:
    int m_timeoutMs;
};

namespace usershare_detail {

// One share of `net usershare info` output.
struct UsershareInfo {
    QString name;
    QString path;
    QString comment;
    QString acl;
    bool guestOk = false;
};

// `net usershare info` output: "[name]" headers, each followed by key=value
// lines. Anything else is skipped; a header without a closing ']' is no share.
QList<UsershareInfo> ParseUsershareInfo(const QString& text);

// The names of the "[section]" lines of `testparm -s` output, in order.
QStringList ParseSectionNames(const QString& text);

// The outcome of a failed `net usershare` run from what it wrote to stderr
// (English, LC_ALL=C) and its exit status.
ShareOutcome ClassifyNetFailure(const QString& errorText, int exitStatus);

// The checks made before net is asked anything.
ShareOutcome CheckName(const QString& name);
ShareOutcome CheckPathText(const QString& path);

// True for the statfs() magic numbers of network file systems.
bool IsNetworkFileSystem(long fsType);

}  // namespace usershare_detail

}  // namespace vx::platform
