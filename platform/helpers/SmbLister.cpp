// vx-smblist: prints the shares of one host, one name a line (UTF-8), as a
// guest on port 445, and exits 0; exits 1 when the listing fails.
//   vx-smblist HOST TIMEOUT_MS
// libsmbclient keeps process-wide state that concurrent listings corrupt and
// does not bound its connect, so the program lists in one child process per
// host and kills it at its deadline; a crash here costs one listing.
#include <libsmbclient.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/helpers/ShareFilter.h"

namespace {

// Guest: no user, no password, no workgroup; the server maps us to its guest
// account or lists anonymously.
void GuestAuth(SMBCCTX*, const char*, const char*, char* workgroup, int workgroupLen, char* user,
               int userLen, char* password, int passwordLen) {
    if (workgroupLen > 0) workgroup[0] = '\0';
    if (userLen > 0) user[0] = '\0';
    if (passwordLen > 0) password[0] = '\0';
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || !vx::smb_lister::IsPlainHost(argv[1])) return 2;
    const int timeoutMs = std::atoi(argv[2]);
    SMBCCTX* ctx = smbc_new_context();
    if (!ctx) return 1;
    // VX_SMB_DEBUG=<level> shows libsmbclient's own log on stderr.
    const char* debug = std::getenv("VX_SMB_DEBUG");
    smbc_setDebug(ctx, debug ? std::atoi(debug) : 0);
    smbc_setPort(ctx, 445);
    smbc_setTimeout(ctx, timeoutMs > 0 ? timeoutMs : 3000);
    smbc_setOptionUseKerberos(ctx, false);
    smbc_setOptionFallbackAfterKerberos(ctx, true);
    smbc_setOptionNoAutoAnonymousLogin(ctx, false);
    smbc_setFunctionAuthDataWithContext(ctx, GuestAuth);
    if (!smbc_init_context(ctx)) return 1;
    const std::string url = std::string("smb://") + argv[1] + "/";
    SMBCFILE* dir = smbc_getFunctionOpendir(ctx)(ctx, url.c_str());
    if (!dir) return 1;
    smbc_readdir_fn readdir = smbc_getFunctionReaddir(ctx);
    std::string out;
    while (smbc_dirent* entry = readdir(ctx, dir)) {
        // name is declared char[1]; its real length is in the entry.
        const std::string name(entry->name, strnlen(entry->name, entry->namelen + 1));
        if (name.find('\n') != std::string::npos) continue;
        if (vx::smb_lister::KeepShare(entry->smbc_type, name)) out += name + '\n';
    }
    smbc_getFunctionClosedir(ctx)(ctx, dir);
    // The whole list at once: a listing cut short by the deadline must not
    // look like a shorter list.
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fputs(".\n", stdout);
    std::fflush(stdout);
    // Exit without tearing Samba down: nothing is left to save.
    std::_Exit(0);
}
