#include "platform/HttpClient.h"

#include <curl/curl.h>
#include <dlfcn.h>

#include <chrono>
#include <mutex>
#include <type_traits>

namespace vx::platform {
namespace {

HttpClient* g_installed = nullptr;

// libcurl is opened on the first transfer, not linked: it brings some
// twenty-five libraries (TLS, Kerberos, LDAP) that would otherwise be loaded
// and relocated at every start, for a check the user runs now and then.
struct CurlLibrary {
    CURLcode (*global_init)(long);
    CURL* (*easy_init)();
    CURLcode (*easy_setopt)(CURL*, CURLoption, ...);
    CURLcode (*easy_perform)(CURL*);
    CURLcode (*easy_getinfo)(CURL*, CURLINFO, ...);
    const char* (*easy_strerror)(CURLcode);
    void (*easy_cleanup)(CURL*);
    curl_slist* (*slist_append)(curl_slist*, const char*);
    void (*slist_free_all)(curl_slist*);
};

// Null when no libcurl can be opened; the library stays loaded for good.
const CurlLibrary* Curl() {
    static const CurlLibrary* loaded = []() -> const CurlLibrary* {
        void* lib = nullptr;
        for (const char* name : {"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl-nss.so.4"})
            if ((lib = ::dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
        if (!lib) return nullptr;
        static CurlLibrary l;
        bool ok = true;
        const auto get = [&](auto& fn, const char* symbol) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(::dlsym(lib, symbol));
            ok = ok && fn;
        };
        get(l.global_init, "curl_global_init");
        get(l.easy_init, "curl_easy_init");
        get(l.easy_setopt, "curl_easy_setopt");
        get(l.easy_perform, "curl_easy_perform");
        get(l.easy_getinfo, "curl_easy_getinfo");
        get(l.easy_strerror, "curl_easy_strerror");
        get(l.easy_cleanup, "curl_easy_cleanup");
        get(l.slist_append, "curl_slist_append");
        get(l.slist_free_all, "curl_slist_free_all");
        if (!ok) return nullptr;
        l.global_init(CURL_GLOBAL_DEFAULT);
        return &l;
    }();
    return loaded;
}

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
        Curl()->easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (status < 200 || status > 299) {
            refusedStatus = true;
            return false;
        }
        HttpHead head;
        head.status = status;
        curl_off_t length = -1;
        if (Curl()->easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
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
    const CurlLibrary* lib = Curl();
    if (!lib) {
        SetWhy(why, QStringLiteral("libcurl cannot be loaded"));
        return false;
    }
    CURL* curl = lib->easy_init();
    if (!curl) {
        SetWhy(why, QStringLiteral("curl_easy_init failed"));
        return false;
    }
    const QByteArray urlBytes = url.toUtf8();
    const QByteArray agent = UserAgent().toLatin1();
    curl_slist* headers = nullptr;
    headers = lib->slist_append(headers, "Accept: */*");
    headers = lib->slist_append(headers, "Pragma: no-cache");
    headers = lib->slist_append(headers, "Cache-Control: no-cache");

    Transfer t;
    t.curl = curl;
    t.onHead = &onHead;
    t.onData = &onData;
    char error[CURL_ERROR_SIZE] = {};

    lib->easy_setopt(curl, CURLOPT_URL, urlBytes.constData());
    // A page or a download names its own URL: never let it reach local
    // files or other schemes, not even through a redirect.
    lib->easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    lib->easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    lib->easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    // Said explicitly: components are code, and an https server must prove
    // that it is the host named.
    lib->easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    lib->easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    lib->easy_setopt(curl, CURLOPT_USERAGENT, agent.constData());
    lib->easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    // Timeouts run on a thread of their own otherwise (signals are not an
    // option in a threaded program).
    lib->easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    lib->easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(options.connectTimeoutMs));
    lib->easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(options.totalTimeoutMs));
    if (options.stallTimeoutMs > 0) {
        lib->easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        lib->easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                         long(std::max(1, (options.stallTimeoutMs + 999) / 1000)));
    }
    lib->easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnWrite);
    lib->easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    lib->easy_setopt(curl, CURLOPT_ERRORBUFFER, error);

    CURLcode code = lib->easy_perform(curl);
    // An empty body never reaches the write function.
    if (code == CURLE_OK && !t.headSeen && !t.Head()) code = CURLE_WRITE_ERROR;

    bool ok = code == CURLE_OK;
    if (t.refusedStatus)
        SetWhy(why, QStringLiteral("HTTP status %1").arg(t.status));
    else if (t.stoppedByCaller)
        SetWhy(why, QStringLiteral("stopped by the receiver"));
    else if (!ok)
        SetWhy(why, QString::fromUtf8(*error ? error : lib->easy_strerror(code)));

    lib->slist_free_all(headers);
    lib->easy_cleanup(curl);
    return ok;
}

bool GetBounded(HttpClient& http, const QString& url, const HttpOptions& options,
                qsizetype maxBytes, QByteArray* body, QString* why) {
    body->clear();
    QByteArray got;
    const bool ok = http.Get(
        url, options, [maxBytes](const HttpHead& head) { return head.contentLength <= maxBytes; },
        [&got, maxBytes](const char* data, qsizetype size) {
            if (got.size() + size > maxBytes) return false;
            got.append(data, size);
            return true;
        },
        why);
    if (ok) *body = got;
    return ok;
}

HttpClient& DefaultHttpClient() {
    static CurlHttpClient curl;
    return g_installed ? *g_installed : curl;
}

void SetDefaultHttpClient(HttpClient* client) { g_installed = client; }

}  // namespace vx::platform
