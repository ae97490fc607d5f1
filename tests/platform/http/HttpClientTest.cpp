// The libcurl client's failures: an error answer without a body, and a server
// that accepts but never answers, which must end within the timeouts.
#include <QElapsedTimer>
#include <QTest>

#include "platform/HttpClient.h"
#include "support/FakeHttpServer.h"

class HttpClientTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) qunsetenv(v);
    }

    void failures_data() {
        QTest::addColumn<QByteArray>("answer");  // empty: the server never answers
        QTest::addColumn<int>("totalMs");
        QTest::addColumn<int>("stallMs");
        QTest::newRow("empty 404") << FakeHttpServer::Answer("", 404) << 0 << 0;
        QTest::newRow("silent, total timeout") << QByteArray() << 500 << 0;
        QTest::newRow("silent, stall timeout") << QByteArray() << 0 << 1000;
    }
    void failures() {
        QFETCH(QByteArray, answer);
        QFETCH(int, totalMs);
        QFETCH(int, stallMs);
        FakeHttpServer server;
        server.Set("/x", answer);
        // A listening socket that nobody accepts from: the kernel completes
        // the connection, and no byte ever comes.
        const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof addr;
        QVERIFY(::bind(silent, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
                ::listen(silent, 4) == 0 &&
                ::getsockname(silent, reinterpret_cast<sockaddr*>(&addr), &len) == 0);
        const QString url = answer.isEmpty()
                                ? QString("http://127.0.0.1:%1/x").arg(ntohs(addr.sin_port))
                                : server.Url("/x");
        int calls = 0;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!vx::platform::CurlHttpClient().Get(
            url, {.connectTimeoutMs = 1000, .totalTimeoutMs = totalMs, .stallTimeoutMs = stallMs},
            [&](const vx::platform::HttpHead&) { return ++calls, true; },
            [&](const char*, qsizetype) { return ++calls, true; }));
        QCOMPARE(calls, 0);
        QVERIFY(clock.elapsed() < 5000);
        ::close(silent);
    }
};

QTEST_GUILESS_MAIN(HttpClientTest)
#include "HttpClientTest.moc"
