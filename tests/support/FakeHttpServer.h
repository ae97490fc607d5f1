// An HTTP server on 127.0.0.1 for one test, on a thread of its own (the code
// under test fetches synchronously on the test's thread). Each path answers
// with bytes set by the test, sent as they are and followed by a close, so a
// test can send a 404, a chunked body, or a length it never delivers.
// Unknown paths answer 404. Nothing listens beyond loopback.
#pragma once

#include <QByteArrayList>
#include <QHash>
#include <QString>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

class FakeHttpServer {
public:
    FakeHttpServer() {
        sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t len = sizeof addr;
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
            ::listen(m_listen, 16) == 0 &&
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            m_port = ntohs(addr.sin_port);
            m_thread = std::thread([this] { Serve(); });
        }
    }
    ~FakeHttpServer() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        ::close(m_listen);
    }

    bool IsListening() const { return m_port != 0; }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    void Set(const QByteArray& path, const QByteArray& response) {
        std::lock_guard lock(m_mutex);
        m_routes[path] = response;
    }
    QByteArray LastRequest() const {
        std::lock_guard lock(m_mutex);
        return m_requests.value(m_requests.size() - 1);
    }
    QByteArrayList Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    // An answer of `status` whose header announces `length` (-1: the body's
    // own size) and that then sends `body`.
    static QByteArray Answer(const QByteArray& body, int status = 200, qsizetype length = -1) {
        return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " +
               QByteArray::number(length < 0 ? body.size() : length) + "\r\n\r\n" + body;
    }
    static QByteArray Chunked(const QByteArray& body) {
        return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
               QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
    }

private:
    void Serve() {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            const int client = ::poll(&p, 1, 20) > 0 ? ::accept(m_listen, nullptr, nullptr) : -1;
            if (client < 0) continue;
            QByteArray request;
            char buf[4096];
            for (pollfd c{client, POLLIN, 0}; !request.contains("\r\n\r\n") && ::poll(&c, 1, 2000) > 0;) {
                const ssize_t n = ::read(client, buf, sizeof buf);
                if (n <= 0) break;
                request.append(buf, n);
            }
            std::unique_lock lock(m_mutex);
            m_requests << request;
            const QByteArray response =
                m_routes.value(request.split(' ').value(1), Answer("<html>404</html>", 404));
            lock.unlock();
            for (qsizetype sent = 0, n = 0; sent < response.size(); sent += n)
                if ((n = ::send(client, response.constData() + sent, response.size() - sent,
                                MSG_NOSIGNAL)) <= 0)
                    break;
            ::close(client);
        }
    }

    int m_listen = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    QHash<QByteArray, QByteArray> m_routes;  // guarded by m_mutex
    QByteArrayList m_requests;               // guarded by m_mutex
};
