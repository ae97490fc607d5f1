// The replacement of components at start-up, run on the online upgrade
// dialog's worker thread. No widget here: the dialog hears of progress
// through a function called on the worker thread, and copies what it needs.
//
// Each file is downloaded beside its target (target + ".part") and renamed
// into place only once every announced byte is on disk and its signature
// (source + ".minisig", by a trusted key) holds for those bytes; the previous file is
// moved to target + ".ov" for that moment and deleted afterwards. A failed or
// interrupted download never leaves a partial library under the plug-in's
// name (it would be loaded at the next start), and the previous file stays.
#pragma once

#include <QList>
#include <QString>

#include <atomic>
#include <functional>

#include "platform/HttpClient.h"

namespace vx {

struct UpgradeFile {
    QString source;  // download URL
    QString target;  // full path in the writable ToolDlls
};

class CUpgradeRunner {
public:
    // Bytes written of `total`; written == kFailed marks a failed row.
    static constexpr quint32 kFailed = 0xFFFFFFFFu;
    using ProgressFn = std::function<void(int row, quint32 total, quint32 written)>;

    CUpgradeRunner(platform::HttpClient& http, ProgressFn progress)
        : m_http(http), m_progress(std::move(progress)) {}

    // Download timeouts: no limit on the whole (libraries may be large on a
    // slow link), but a transfer that stalls ends.
    static platform::HttpOptions DownloadOptions();

    // Whether `target` names a file directly inside the ToolDlls this user
    // may change (platform::WritablePluginDir) with a name a page may use. The settings file is
    // plain text anyone with the user's rights can edit; nothing outside ToolDlls is replaced.
    static bool IsUpgradeTarget(const QString& target);

    // Every file in order; then "更新文件数" is reset to 0, unless Stop came
    // first (the rest then stays scheduled for the next start).
    void RunUpgrade(const QList<UpgradeFile>& files);
    // One file; true when it is in place.
    bool DownloadFile(int row, const UpgradeFile& file);

    // From any thread: the running download ends (as a failure) and no
    // further file is started.
    void Stop() { m_stop = true; }

private:
    bool Fetch(int row, const QString& source, const QString& partPath);
    bool IsSigned(const QString& source, const QString& partPath);

    platform::HttpClient& m_http;
    ProgressFn m_progress;
    std::atomic<bool> m_stop{false};
};

}  // namespace vx
