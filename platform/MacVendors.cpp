#include "platform/MacVendors.h"

#include <QCoreApplication>

#include <algorithm>
#include <fstream>
#include <unordered_map>

namespace vx::platform {

namespace {

constexpr int kBits[3] = {36, 28, 24};

int TableOfDigits(size_t digits) {
    switch (digits) {
    case 9: return 0;
    case 7: return 1;
    case 6: return 2;
    default: return -1;
    }
}

bool ParseHex(std::string_view text, uint64_t& value) {
    value = 0;
    for (char c : text) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else return false;
        value = value << 4 | uint64_t(d);
    }
    return true;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Reads one CSV record (RFC 4180 quoting, a quoted field may span lines)
// from `pos` into at most `wanted` fields. A field is a view of `text`, or of
// `scratch` (wanted + 1 strings, the last for fields not wanted) when its
// quotes had to be undone.
size_t ReadRecord(std::string_view text, size_t& pos, std::string_view* fields, size_t wanted,
                  std::string* scratch) {
    size_t count = 0;
    while (pos <= text.size()) {
        std::string_view field;
        if (pos < text.size() && text[pos] == '"') {
            std::string& unquoted = scratch[std::min(count, wanted)];
            unquoted.clear();
            for (++pos; pos < text.size(); ++pos) {
                if (text[pos] != '"') unquoted += text[pos];
                else if (pos + 1 < text.size() && text[pos + 1] == '"') unquoted += text[++pos];
                else break;
            }
            ++pos;  // the closing quote
            const size_t end = text.find_first_of(",\n", std::min(pos, text.size()));
            pos = end == std::string_view::npos ? text.size() : end;
            field = unquoted;
        } else {
            const size_t end = std::min(text.find_first_of(",\n", pos), text.size());
            field = text.substr(pos, end - pos);
            if (!field.empty() && field.back() == '\r') field.remove_suffix(1);
            pos = end;
        }
        if (count < wanted) fields[count] = field;
        ++count;
        if (pos >= text.size() || text[pos++] == '\n') break;
    }
    return std::min(count, wanted);
}

}  // namespace

size_t MacVendors::AddCsv(std::string_view text) {
    // Many blocks share a holder; each name is stored once. The views in
    // `known` point into m_names, which is reserved so that it never moves
    // while they live.
    std::unordered_map<std::string_view, uint32_t> known;
    m_names.reserve(m_names.size() + text.size());
    size_t taken = 0;
    size_t pos = 0;
    std::string_view fields[3];
    std::string scratch[4];
    while (pos < text.size()) {
        if (ReadRecord(text, pos, fields, 3, scratch) < 3) continue;
        const std::string_view assignment = Trimmed(fields[1]);
        const int table = TableOfDigits(assignment.size());
        uint64_t prefix;
        if (table < 0 || !ParseHex(assignment, prefix)) continue;  // the title row too
        const std::string_view name = Trimmed(fields[2]).substr(0, 255);
        if (name.empty()) continue;
        auto it = known.find(name);
        if (it == known.end()) {
            const size_t offset = m_names.size();
            m_names.append(name);
            it = known.emplace(std::string_view(m_names).substr(offset, name.size()),
                               uint32_t(offset)).first;
        }
        m_tables[size_t(table)].push_back({prefix, it->second, uint32_t(name.size())});
        ++taken;
    }
    m_sorted = false;
    Sort();
    return taken;
}

void MacVendors::Sort() {
    if (m_sorted) return;
    for (auto& table : m_tables) {
        // A block listed twice keeps its first holder.
        std::stable_sort(table.begin(), table.end(),
                         [](const Block& a, const Block& b) { return a.prefix < b.prefix; });
        table.erase(std::unique(table.begin(), table.end(),
                                [](const Block& a, const Block& b) { return a.prefix == b.prefix; }),
                    table.end());
        table.shrink_to_fit();
    }
    m_names.shrink_to_fit();
    m_sorted = true;
}

bool MacVendors::Load(const std::string& dir) {
    bool any = false;
    for (const char* file : {"oui36.csv", "iab.csv", "mam.csv", "oui.csv"}) {
        std::ifstream in(dir + "/" + file, std::ios::binary | std::ios::ate);
        if (!in) continue;
        std::string text(size_t(std::max<std::streamoff>(in.tellg(), 0)), '\0');
        in.seekg(0);
        if (!in.read(text.data(), std::streamsize(text.size()))) continue;
        if (AddCsv(text) > 0) any = true;
    }
    return any;
}

std::string_view MacVendors::Lookup(const std::array<uint8_t, 6>& mac) const {
    uint64_t value = 0;
    for (uint8_t b : mac) value = value << 8 | b;
    for (size_t t = 0; t < m_tables.size(); ++t) {
        const auto& table = m_tables[t];
        const uint64_t key = value >> (48 - kBits[t]);
        auto it = std::lower_bound(table.begin(), table.end(), key,
                                   [](const Block& b, uint64_t k) { return b.prefix < k; });
        if (it != table.end() && it->prefix == key)
            return std::string_view(m_names).substr(it->offset, it->length);
    }
    return {};
}

size_t MacVendors::Blocks() const {
    size_t n = 0;
    for (const auto& table : m_tables) n += table.size();
    return n;
}

size_t MacVendors::MemoryBytes() const {
    size_t n = m_names.capacity();
    for (const auto& table : m_tables) n += table.capacity() * sizeof(Block);
    return n;
}

bool ParseMac(QStringView text, std::array<uint8_t, 6>& mac) {
    if (text.size() != 17) return false;
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            const QChar sep = text[i * 3 - 1];
            if (sep != u'.' && sep != u':' && sep != u'-') return false;
        }
        bool ok = false;
        const uint v = text.mid(i * 3, 2).toUInt(&ok, 16);
        if (!ok || !text[i * 3].isLetterOrNumber() || !text[i * 3 + 1].isLetterOrNumber())
            return false;
        mac[size_t(i)] = uint8_t(v);
    }
    return true;
}

QString MakerOf(const MacVendors& vendors, QStringView text) {
    std::array<uint8_t, 6> mac{};
    if (!ParseMac(text, mac)) return {};
    if (IsLocallyAdministered(mac))
        return QCoreApplication::translate("vx::platform::MacVendors", "随机MAC地址");
    const std::string_view name = vendors.Lookup(mac);
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

}  // namespace vx::platform
