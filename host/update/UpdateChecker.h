// One check for component updates: fetch the update-information page, list
// the installed components and their versions, and keep the entries that are
// new or newer. Made by the update dialog for one check; keeps no state.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "host/update/UpdateInfo.h"
#include "platform/HttpClient.h"

namespace vx {

class CUpdateChecker {
public:
    // The running program's version, which page entries must have been built for.
    static const QString kMainProgramVersion;  // "1.72"
    // Where the page is looked for until a check of another URL succeeds.
    // The host is a reserved name (".invalid" never resolves), so no third
    // party can ever answer it: users set their server in the dialog.
    static const QString kDefaultUrl;
    // A larger answer is not an update page and fails the check.
    static constexpr qsizetype kMaxPageBytes = 1024 * 1024;

    explicit CUpdateChecker(platform::HttpClient& http = platform::DefaultHttpClient());

    // Timeouts of the page fetch: the check runs on the UI thread, so it
    // gives up within half a minute whatever the server does.
    static platform::HttpOptions PageOptions();

    // The body of a 2xx answer to `url`, up to kMaxPageBytes; false (and an
    // empty result) on any failure, which `why` then names.
    bool HttpGetText(const QString& url, QByteArray* text, QString* why = nullptr);

    // The libraries in ToolDlls (regular files whose lower-cased name ends
    // in ".so"; with per-user folders the copies that load): lower-cased file
    // name, installed version, and in `target` where a newer version goes:
    // the writable ToolDlls, under the installed file's name as on disk.
    static void ScanComponents(QList<ComponentRecord>& out);
    // The file's FileVersion as dotted text, "0.0.0.0" without a version block.
    static QString GetFileVersionText(const QString& path);

    // True when the page was fetched, signed by a trusted key (the signature
    // is fetched from `url` + ".minisig") and valid; `out` then holds the
    // entries to offer, "新增" or "替换", targets under the writable ToolDlls.
    // Otherwise `why` says what failed, for the output log.
    bool CheckUpdates(const QString& url, QList<ComponentRecord>& out, QString* why = nullptr);

private:
    platform::HttpClient& m_http;
};

}  // namespace vx
