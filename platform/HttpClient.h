// HTTP GET for the component update: the update-information page and the
// component downloads. One interface so tests can put their own in; the
// program's is libcurl (CurlHttpClient).
//
// The request is what the update server has always seen: user agent
// "Agent<ms since boot>", "Accept: */*", and no cache anywhere on the way
// (Pragma and Cache-Control "no-cache"). A proxy comes from the environment
// (http_proxy, https_proxy, no_proxy), as libcurl reads it. Only http and
// https are fetched, also after a redirect.
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace vx::platform {

struct HttpOptions {
    int connectTimeoutMs = 10000;
    int totalTimeoutMs = 0;      // 0: no limit on the whole transfer
    int stallTimeoutMs = 30000;  // the transfer fails when nothing arrives for this long
};

struct HttpHead {
    long status = 0;
    qint64 contentLength = -1;  // -1: the server announced none (chunked, or close-delimited)
};

class HttpClient {
public:
    // Both return false to end the transfer, which then fails.
    using HeadFn = std::function<bool(const HttpHead&)>;
    using DataFn = std::function<bool(const char* data, qsizetype size)>;

    virtual ~HttpClient() = default;

    // One GET of `url`. `onHead` is called once, before any body byte (also
    // for an empty body); `onData` with each piece of the body. A status
    // outside 2xx is a failure: neither function is called, so an error page
    // is never taken for content. True only when the whole body arrived (a
    // connection closed before the announced length is a failure); `why`
    // then says what went wrong, for the log.
    virtual bool Get(const QString& url, const HttpOptions& options, const HeadFn& onHead,
                     const DataFn& onData, QString* why = nullptr) = 0;
};

class CurlHttpClient : public HttpClient {
public:
    bool Get(const QString& url, const HttpOptions& options, const HeadFn& onHead,
             const DataFn& onData, QString* why = nullptr) override;

    // "Agent%ld" with the milliseconds since the system started.
    static QString UserAgent();
};

// The whole body of a 2xx answer to `url`, at most `maxBytes` long (a longer
// one, announced or not, fails the transfer); `body` is empty on failure.
bool GetBounded(HttpClient& http, const QString& url, const HttpOptions& options,
                qsizetype maxBytes, QByteArray* body, QString* why = nullptr);

// The client the program uses unless a test installs another (not owned;
// null restores libcurl). Set it only while no transfer runs.
HttpClient& DefaultHttpClient();
void SetDefaultHttpClient(HttpClient* client);

}  // namespace vx::platform
