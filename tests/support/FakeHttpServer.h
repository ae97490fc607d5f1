// An HTTP server on 127.0.0.1 for one test, on a thread of its own (the code
// under test fetches synchronously on the test's thread). Each path answers
// with bytes set by the test, written as they are and followed by a close,
// so a test can send a 404, a chunked body, or a length it never delivers.
// Unknown paths answer 404. Nothing listens beyond loopback.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QString>

#include <arpa/inet.h>
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
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(m_listen, 16) != 0 ||
            ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~FakeHttpServer() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        ::close(m_listen);
    }
    FakeHttpServer(const FakeHttpServer&) = delete;
    FakeHttpServer& operator=(const FakeHttpServer&) = delete;

    bool IsListening() const { return m_port != 0; }
    QString Url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    void Set(const QByteArray& path, const QByteArray& response) {
        std::lock_guard lock(m_mutex);
        m_routes[path] = response;
    }
    QByteArrayList Requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

    static QByteArray Ok(const QByteArray& body) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
               "\r\nConnection: close\r\n\r\n" + body;
    }
    static QByteArray Status(int code, const QByteArray& body) {
        return "HTTP/1.1 " + QByteArray::number(code) + " X\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }
    static QByteArray Chunked(const QByteArray& body) {
        return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n" +
               QByteArray::number(body.size(), 16) + "\r\n" + body + "\r\n0\r\n\r\n";
    }
    // Announces `announced` bytes, sends `body` and closes.
    static QByteArray Truncated(int announced, const QByteArray& body) {
        return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(announced) +
               "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void Serve() {
        while (!m_stop) {
            pollfd p{m_listen, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            QByteArray request;
            char buf[4096];
            while (!request.contains("\r\n\r\n")) {
                pollfd c{client, POLLIN, 0};
                if (::poll(&c, 1, 2000) <= 0) break;
                const ssize_t n = ::read(client, buf, sizeof buf);
                if (n <= 0) break;
                request.append(buf, n);
            }
            const QByteArray path = request.split(' ').value(1);
            QByteArray response = Status(404, "<html>not here</html>");
            {
                std::lock_guard lock(m_mutex);
                m_requests << request;
                response = m_routes.value(path, response);
            }
            for (qsizetype sent = 0; sent < response.size();) {
                const ssize_t n = ::send(client, response.constData() + sent,
                                         size_t(response.size() - sent), MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += n;
            }
            ::shutdown(client, SHUT_WR);
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
