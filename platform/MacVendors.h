// Who made a network card: the IEEE registry of MAC address blocks (MA-L,
// MA-M, MA-S and the older IAB lists, as Debian's ieee-data ships them) in a
// compact index that answers by the longest registered prefix.
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vx::platform {

// Where the registry is installed, and the package that installs it.
inline constexpr char kIeeeDataDir[] = "/usr/share/ieee-data";
inline constexpr char kIeeeDataPackage[] = "ieee-data";

class MacVendors {
public:
    // Reads oui.csv, mam.csv, oui36.csv and iab.csv from `dir`; false when
    // none of them could be read (the index is then empty).
    bool Load(const std::string& dir = kIeeeDataDir);
    // Adds the blocks of one registry file's text; the number of rows taken.
    size_t AddCsv(std::string_view text);

    // The organisation that holds the longest registered prefix of `mac`,
    // empty when no block holds it.
    std::string_view Lookup(const std::array<uint8_t, 6>& mac) const;

    size_t Blocks() const;
    // Bytes the index holds on the heap.
    size_t MemoryBytes() const;

private:
    struct Block {
        uint64_t prefix;  // the registered bits, right-aligned
        uint32_t offset;  // of the name in m_names
        uint32_t length;
    };
    void Sort();
    // One table per block size (36, 28, 24 bits), each sorted by prefix.
    std::array<std::vector<Block>, 3> m_tables;
    std::string m_names;  // every organisation name once, back to back
    bool m_sorted = true;
};

// The six bytes of "00.1A.2B.3C.4D.5E" (also with ':' or '-'); false for
// anything else.
bool ParseMac(QStringView text, std::array<uint8_t, 6>& mac);

// Set when the address was made up locally rather than taken from a
// registered block (phones choose such an address per network).
inline bool IsLocallyAdministered(const std::array<uint8_t, 6>& mac) { return mac[0] & 0x02; }

// The maker cell for `mac`: "随机MAC地址" for a locally administered
// address, the registry's name, or empty.
QString MakerOf(const MacVendors& vendors, QStringView mac);

}  // namespace vx::platform
