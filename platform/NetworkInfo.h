// This machine's name and IPv4 addresses, without DNS.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx::platform {

// gethostname(); empty if it fails.
QString LocalHostName();

// Dotted IPv4 addresses of the interfaces that are up, loopback excluded, in
// interface order. This is what the host name's lookup returns on a desktop
// whose resolver maps the name to the real interfaces; Debian's resolver would
// answer 127.0.1.1 instead, so the interfaces are asked directly.
QStringList LocalIPv4Addresses();

// One IPv4 address of an interface that is up (loopback excluded), with what
// link-layer work needs. Addresses and masks are in network byte order.
struct Ipv4Interface {
    std::string name;
    int index = 0;
    uint32_t address = 0;
    uint32_t netmask = 0;
    bool hasMac = false;  // an Ethernet-like link with a 6-byte address
    std::array<unsigned char, 6> mac{};
};

// Same order as LocalIPv4Addresses(). Qt-free and thread-safe.
std::vector<Ipv4Interface> LocalIPv4Interfaces();

// The interface whose own address is `address` (network byte order).
std::optional<Ipv4Interface> InterfaceOwning(uint32_t address);

// The interface an ARP request for `address` goes out of: among those whose
// subnet holds it, the one the kernel's route uses (two links on one subnet,
// wired and wireless, are common), else the first. Host routes (/32) hold
// nothing but themselves.
std::optional<Ipv4Interface> InterfaceFacing(uint32_t address);

// The outgoing interface index of the kernel's route to `address` when that
// route is direct (no gateway); 0 when there is none or it goes via a router.
int DirectRouteInterface(uint32_t address);

}  // namespace vx::platform
