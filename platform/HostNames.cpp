#include "platform/HostNames.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <fcntl.h>
#include <poll.h>
#include <resolv.h>
#include <sys/eventfd.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

#include "platform/NetworkInfo.h"

namespace vx::platform {

LookupCancel::LookupCancel() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
LookupCancel::~LookupCancel() {
    if (m_fd >= 0) close(m_fd);
}
void LookupCancel::Cancel() {
    const uint64_t one = 1;
    if (m_fd >= 0) (void)!write(m_fd, &one, sizeof one);
}
bool LookupCancel::Cancelled() const {
    pollfd p{m_fd, POLLIN, 0};
    return m_fd >= 0 && poll(&p, 1, 0) > 0;
}

namespace hostnames_detail {

namespace {

constexpr uint16_t kTypePtr = 12;
constexpr uint16_t kTypeNbstat = 0x21;
constexpr size_t kMaxName = 255;

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

std::vector<uint8_t> Header(uint16_t id, uint16_t flags) {
    std::vector<uint8_t> out;
    Put16(out, id);
    Put16(out, flags);
    Put16(out, 1);  // one question
    for (int i = 0; i < 3; ++i) Put16(out, 0);
    return out;
}

// Reads the possibly compressed name at `pos` into `out` (dotted, no final
// dot); `next` is where the record goes on. Pointers may go anywhere in the
// message but only so many times, so a loop ends.
bool ReadName(const uint8_t* d, size_t n, size_t pos, std::string& out, size_t& next) {
    out.clear();
    bool jumped = false;
    for (int jumps = 0;;) {
        if (pos >= n) return false;
        const uint8_t len = d[pos];
        if ((len & 0xC0) == 0xC0) {
            if (pos + 1 >= n || ++jumps > 32) return false;
            if (!jumped) next = pos + 2;
            jumped = true;
            pos = size_t(len & 0x3F) << 8 | d[pos + 1];
            continue;
        }
        if (len & 0xC0) return false;  // reserved label types
        if (len == 0) {
            if (!jumped) next = pos + 1;
            return true;
        }
        if (pos + 1 + len > n) return false;
        if (!out.empty()) out += '.';
        out.append(reinterpret_cast<const char*>(d + pos + 1), len);
        if (out.size() > kMaxName) return false;
        pos += 1 + len;
    }
}

bool SameName(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
        return lower(x) == lower(y);
    });
}

}  // namespace

std::vector<uint8_t> NodeStatusQuery(uint16_t id) {
    std::vector<uint8_t> out = Header(id, 0);
    // The wildcard name "*" padded with NULs to 16 bytes, each byte as two
    // letters 'A' + nibble.
    out.push_back(32);
    out.push_back('C');
    out.push_back('K');
    for (int i = 0; i < 30; ++i) out.push_back('A');
    out.push_back(0);
    Put16(out, kTypeNbstat);
    Put16(out, 1);
    return out;
}

std::string ParseNodeStatus(const uint8_t* d, size_t n, uint16_t id) {
    if (n < 12 || Get16(d) != id || !(d[2] & 0x80) || Get16(d + 6) == 0) return {};
    std::string owner;
    size_t pos = 12;
    if (!ReadName(d, n, 12, owner, pos)) return {};
    if (pos + 10 > n || Get16(d + pos) != kTypeNbstat) return {};
    const size_t rdlength = Get16(d + pos + 8);
    pos += 10;
    if (rdlength < 1 || pos + rdlength > n) return {};
    const size_t count = d[pos];
    const uint8_t* entries = d + pos + 1;
    if (count * 18 > rdlength - 1) return {};
    std::string server;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = entries + i * 18;
        const bool group = e[16] & 0x80;
        const uint8_t suffix = e[15];
        if (group || (suffix != 0x00 && suffix != 0x20)) continue;
        std::string name(reinterpret_cast<const char*>(e), 15);
        name.erase(name.find_last_not_of(std::string(" \0", 2)) + 1);
        if (name.empty()) continue;
        if (suffix == 0x00) return name;
        if (server.empty()) server = name;
    }
    return server;
}

std::string ReverseName(uint32_t address) {
    const auto* b = reinterpret_cast<const uint8_t*>(&address);
    return std::to_string(b[3]) + '.' + std::to_string(b[2]) + '.' + std::to_string(b[1]) + '.' +
           std::to_string(b[0]) + ".in-addr.arpa";
}

std::vector<uint8_t> PtrQuery(uint16_t id, const std::string& name, bool unicastResponse) {
    // Recursion is wanted from a resolver; multicast queries leave the bit clear.
    std::vector<uint8_t> out = Header(id, unicastResponse ? 0 : 0x0100);
    size_t start = 0;
    while (start < name.size()) {
        size_t dot = name.find('.', start);
        if (dot == std::string::npos) dot = name.size();
        const size_t len = std::min<size_t>(dot - start, 63);
        out.push_back(uint8_t(len));
        out.insert(out.end(), name.begin() + long(start), name.begin() + long(start + len));
        start = dot + 1;
    }
    out.push_back(0);
    Put16(out, kTypePtr);
    Put16(out, unicastResponse ? 0x8001 : 0x0001);
    return out;
}

std::string ParsePtrReply(const uint8_t* d, size_t n, const std::string& name, bool checkId,
                          uint16_t id) {
    if (n < 12 || !(d[2] & 0x80)) return {};
    if (checkId && (Get16(d) != id || (d[3] & 0x0F) != 0)) return {};
    const size_t questions = Get16(d + 4);
    const size_t answers = Get16(d + 6);
    size_t pos = 12;
    std::string text;
    for (size_t i = 0; i < questions; ++i) {
        if (!ReadName(d, n, pos, text, pos) || pos + 4 > n) return {};
        pos += 4;
    }
    for (size_t i = 0; i < answers; ++i) {
        if (!ReadName(d, n, pos, text, pos) || pos + 10 > n) return {};
        const uint16_t type = Get16(d + pos);
        const size_t rdlength = Get16(d + pos + 8);
        pos += 10;
        if (pos + rdlength > n) return {};
        if (type == kTypePtr && SameName(text, name)) {
            std::string target;
            size_t after = pos;
            if (ReadName(d, n, pos, target, after) && !target.empty()) return target;
        }
        pos += rdlength;
    }
    return {};
}

}  // namespace hostnames_detail

namespace {

using namespace hostnames_detail;
using Clock = std::chrono::steady_clock;

uint16_t RandomId() {
    uint16_t id = 0;
    if (getrandom(&id, sizeof id, GRND_NONBLOCK) != sizeof id)
        id = uint16_t(Clock::now().time_since_epoch().count());
    return id;
}

std::vector<sockaddr_in> SystemNameServers() {
    std::vector<sockaddr_in> servers;
    struct __res_state state {};
    if (res_ninit(&state) != 0) return servers;
    for (int i = 0; i < state.nscount && i < MAXNS; ++i)
        if (state.nsaddr_list[i].sin_family == AF_INET) servers.push_back(state.nsaddr_list[i]);
    res_nclose(&state);
    return servers;
}

int UdpSocket() {
    return socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

sockaddr_in Endpoint(uint32_t address, uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = address;
    to.sin_port = htons(port);
    return to;
}

bool SendTo(int fd, const std::vector<uint8_t>& packet, const sockaddr_in& to) {
    return sendto(fd, packet.data(), packet.size(), MSG_NOSIGNAL,
                  reinterpret_cast<const sockaddr*>(&to), sizeof to) == ssize_t(packet.size());
}

// One source's state in a lookup.
struct Source {
    NameSource kind;
    int fd = -1;
    Clock::time_point deadline;
    bool done = true;
    std::string name;
    uint16_t id = 0;

    void Finish(std::string found = {}) {
        done = true;
        name = std::move(found);
    }
};

}  // namespace

HostName LookUpHostName(uint32_t address, const NameLookupConfig& config,
                        const LookupCancel* cancel) {
    const Clock::time_point start = Clock::now();
    const std::string reverse = ReverseName(address);
    std::array<Source, 3> sources{{{NameSource::Dns}, {NameSource::NetBios}, {NameSource::Mdns}}};
    Source& dns = sources[0];
    Source& netbios = sources[1];
    Source& mdns = sources[2];
    const std::vector<sockaddr_in> servers =
        config.dnsServers.empty() ? SystemNameServers() : config.dnsServers;

    auto begin = [&](Source& s, int boundMs) {
        s.fd = UdpSocket();
        s.id = RandomId();
        s.deadline = start + std::chrono::milliseconds(boundMs);
        s.done = s.fd < 0;
        return !s.done;
    };
    if (!servers.empty() && begin(dns, config.dnsMs)) {
        const std::vector<uint8_t> query = PtrQuery(dns.id, reverse, false);
        bool sent = false;
        for (const sockaddr_in& server : servers) sent |= SendTo(dns.fd, query, server);
        if (!sent) dns.Finish();
    }
    if (config.netbiosPort && begin(netbios, config.netbiosMs)) {
        // Connected, so that a host without a name service says so at once
        // (port unreachable) instead of running out the bound.
        const sockaddr_in to = Endpoint(address, config.netbiosPort);
        if (connect(netbios.fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0 ||
            !SendTo(netbios.fd, NodeStatusQuery(netbios.id), to))
            netbios.Finish();
    }
    const auto facing = InterfaceFacing(address);
    if (config.mdnsPort && facing && begin(mdns, config.mdnsMs)) {
        // Out of the host's own segment, whatever the default route says;
        // the answer comes straight back to this socket's port.
        ip_mreqn via{};
        via.imr_address.s_addr = facing->address;
        via.imr_ifindex = facing->index;
        const int ttl = 255;
        setsockopt(mdns.fd, IPPROTO_IP, IP_MULTICAST_IF, &via, sizeof via);
        setsockopt(mdns.fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
        if (!SendTo(mdns.fd, PtrQuery(mdns.id, reverse, true),
                    Endpoint(inet_addr("224.0.0.251"), config.mdnsPort)))
            mdns.Finish();
    }

    auto isServer = [&](const sockaddr_in& from) {
        return std::any_of(servers.begin(), servers.end(), [&](const sockaddr_in& s) {
            return s.sin_addr.s_addr == from.sin_addr.s_addr && s.sin_port == from.sin_port;
        });
    };
    auto receive = [&](Source& s) {
        std::array<uint8_t, 9000> buffer;
        for (;;) {
            sockaddr_in from{};
            socklen_t fromLen = sizeof from;
            const ssize_t got = recvfrom(s.fd, buffer.data(), buffer.size(), 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (got < 0) {
                // A refused port (ICMP) says the source has nothing to give.
                if (errno == ECONNREFUSED) s.Finish();
                return;
            }
            const auto* d = buffer.data();
            const size_t n = size_t(got);
            switch (s.kind) {
            case NameSource::Dns:
                // Any reply to this request ends it: a name or a "no such name".
                if (isServer(from) && n >= 12 && d[0] == uint8_t(s.id >> 8) &&
                    d[1] == uint8_t(s.id) && (d[2] & 0x80))
                    return s.Finish(ParsePtrReply(d, n, reverse, true, s.id));
                break;
            case NameSource::NetBios:
                if (from.sin_addr.s_addr == address && ntohs(from.sin_port) == config.netbiosPort)
                    return s.Finish(ParseNodeStatus(d, n, s.id));
                break;
            case NameSource::Mdns:
                // Responders differ in echoing the id; the record's owner decides.
                if (std::string name = ParsePtrReply(d, n, reverse, false, 0); !name.empty())
                    return s.Finish(std::move(name));
                break;
            default:
                break;
            }
        }
    };
    // The best answer once every better source has had its say.
    auto decided = [&](HostName& result) {
        for (const Source& s : sources) {
            if (!s.done) return false;
            if (!s.name.empty()) {
                result = {s.name, s.kind};
                return true;
            }
        }
        return true;
    };

    HostName result;
    while (!decided(result)) {
        std::array<pollfd, 4> fds{};
        std::array<Source*, 4> of{};
        nfds_t count = 0;
        Clock::time_point next = Clock::time_point::max();
        const Clock::time_point now = Clock::now();
        for (Source& s : sources) {
            if (s.done) continue;
            if (now >= s.deadline) {
                s.Finish();
                continue;
            }
            next = std::min(next, s.deadline);
            fds[count] = {s.fd, POLLIN, 0};
            of[count++] = &s;
        }
        if (count == 0) continue;
        if (cancel) fds[count++] = {cancel->Fd(), POLLIN, 0};
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
        if (poll(fds.data(), count, int(wait)) < 0 && errno != EINTR) break;
        if (cancel && cancel->Cancelled()) {
            result = {};
            break;
        }
        for (nfds_t i = 0; i < count; ++i)
            if (of[i] && (fds[i].revents & (POLLIN | POLLERR))) receive(*of[i]);
    }
    for (Source& s : sources)
        if (s.fd >= 0) close(s.fd);
    return result;
}

}  // namespace vx::platform
