#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>

namespace vx::platform {
namespace {

HttpClient* g_installed = nullptr;

struct Transfer {
    CURL* curl = nullptr;
    const HttpClient::HeadFn* onHead = nullptr;
    const HttpClient::DataFn* onData = nullptr;
    bool headSeen = false;
    bool refusedStatus = false;
    bool stoppedByCaller = false;
    long status = 0;

    // Called once the headers of the final answer are in (redirects followed).
    bool Head() {
        headSeen = true;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (status < 200 || status > 299) {
            refusedStatus = true;
            return false;
        }
        HttpHead head;
        head.status = status;
        curl_off_t length = -1;
        if (curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
            head.contentLength = length;
        if (!(*onHead)(head)) {
            stoppedByCaller = true;
            return false;
        }
        return true;
    }
};

size_t OnWrite(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (!t->headSeen && !t->Head()) return CURL_WRITEFUNC_ERROR;
    if (bytes == 0) return 0;
    if (!(*t->onData)(data, static_cast<qsizetype>(bytes))) {
        t->stoppedByCaller = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return bytes;
}

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void SetWhy(QString* why, const QString& text) {
    if (why) *why = text;
}

}  // namespace

QString CurlHttpClient::UserAgent() {
    const auto sinceBoot = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return QStringLiteral("Agent%1").arg(static_cast<long>(sinceBoot.count()));
}

bool CurlHttpClient::Get(const QString& url, const HttpOptions& options, const HeadFn& onHead,
                         const DataFn& onData, QString* why) {
    GlobalInit();
    CURL* curl = curl_easy_init();
    if (!curl) {
        SetWhy(why, QStringLiteral("curl_easy_init failed"));
        return false;
    }
    const QByteArray urlBytes = url.toUtf8();
    const QByteArray agent = UserAgent().toLatin1();
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Accept: */*");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    headers = curl_slist_append(headers, "Cache-Control: no-cache");

    Transfer t;
    t.curl = curl;
    t.onHead = &onHead;
    t.onData = &onData;
    char error[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    // A page or a download names its own URL: never let it reach local
    // files or other schemes, not even through a redirect.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, agent.constData());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    // Timeouts run on a thread of their own otherwise (signals are not an
    // option in a threaded program).
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(options.connectTimeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(options.totalTimeoutMs));
    if (options.stallTimeoutMs > 0) {
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                         long(std::max(1, (options.stallTimeoutMs + 999) / 1000)));
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);

    CURLcode code = curl_easy_perform(curl);
    // An empty body never reaches the write function.
    if (code == CURLE_OK && !t.headSeen && !t.Head()) code = CURLE_WRITE_ERROR;

    bool ok = code == CURLE_OK;
    if (t.refusedStatus)
        SetWhy(why, QStringLiteral("HTTP status %1").arg(t.status));
    else if (t.stoppedByCaller)
        SetWhy(why, QStringLiteral("stopped by the receiver"));
    else if (!ok)
        SetWhy(why, QString::fromUtf8(*error ? error : curl_easy_strerror(code)));

    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return ok;
}

HttpClient& DefaultHttpClient() {
    static CurlHttpClient curl;
    return g_installed ? *g_installed : curl;
}

void SetDefaultHttpClient(HttpClient* client) { g_installed = client; }

}  // namespace vx::platform
