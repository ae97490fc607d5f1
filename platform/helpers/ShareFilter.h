// Which entries of a share listing are shares the user can connect to.
#pragma once

#include <string_view>

namespace vx::smb_lister {

// libsmbclient's entry types: 3 file share, 4 printer share.
constexpr unsigned kFileShare = 3;
constexpr unsigned kPrinterShare = 4;

// Disk and printer shares; administrative names ending in '$' are left out.
inline bool KeepShare(unsigned type, std::string_view name) {
    if (type != kFileShare && type != kPrinterShare) return false;
    return !name.empty() && name.back() != '$';
}

// Host texts that are safe to put into an smb:// URL: letters, digits, '.',
// '-' and '_' only (no user info, port, path or query can slip in).
inline bool IsPlainHost(std::string_view host) {
    if (host.empty() || host.size() > 253) return false;
    for (char c : host) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

}  // namespace vx::smb_lister
