#include "platform/SmbBrowser.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <libsmbclient.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace vx::platform {

namespace {

// The part of libsmbclient that share listing needs, resolved with dlsym.
struct SmbApi {
    decltype(&smbc_new_context) newContext = nullptr;
    decltype(&smbc_init_context) initContext = nullptr;
    decltype(&smbc_free_context) freeContext = nullptr;
    decltype(&smbc_setDebug) setDebug = nullptr;
    decltype(&smbc_setTimeout) setTimeout = nullptr;
    decltype(&smbc_setPort) setPort = nullptr;
    decltype(&smbc_setOptionUseKerberos) setUseKerberos = nullptr;
    decltype(&smbc_setOptionFallbackAfterKerberos) setFallbackAfterKerberos = nullptr;
    decltype(&smbc_setOptionNoAutoAnonymousLogin) setNoAutoAnonymousLogin = nullptr;
    decltype(&smbc_setFunctionAuthDataWithContext) setAuth = nullptr;
    decltype(&smbc_getFunctionOpendir) getOpendir = nullptr;
    decltype(&smbc_getFunctionReaddir) getReaddir = nullptr;
    decltype(&smbc_getFunctionClosedir) getClosedir = nullptr;
    decltype(&smbc_getFunctionPurgeCachedServers) getPurge = nullptr;
};

std::mutex g_listingLock;
SmbApi g_api;           // guarded by ListingLock
bool g_tried = false;   // guarded by ListingLock
bool g_loaded = false;  // guarded by ListingLock
// One context per module, made on first use and kept: creating a context
// leaks a little inside Samba (its log file name) every time, which a patrol
// listing shares every few seconds would turn into a steady growth.
SMBCCTX* g_context = nullptr;  // guarded by ListingLock

// libsmbclient keeps process-wide state (talloc stack frames, its connection
// cache, the loaded configuration) that concurrent calls corrupt even on
// separate contexts, so one listing runs at a time, context creation and
// destruction included. Every plug-in carries its own copy of this file, so a
// mutex alone would not keep two modules apart: each listing also takes a
// flock on the executable, an inode every module opens for itself, and
// flock excludes across open file descriptions. (Another process running the
// same executable waits too; listings are bounded by their timeout.)
class ListingLock {
public:
    ListingLock() : m_guard(g_listingLock) {
        m_fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~ListingLock() {
        if (m_fd >= 0) ::close(m_fd);  // releases the flock
    }
    ListingLock(const ListingLock&) = delete;
    ListingLock& operator=(const ListingLock&) = delete;

private:
    std::lock_guard<std::mutex> m_guard;
    int m_fd = -1;
};

template <typename F>
bool Resolve(void* lib, const char* name, F& out) {
    out = reinterpret_cast<F>(::dlsym(lib, name));
    return out != nullptr;
}

// Called under ListingLock.
bool LoadLocked() {
    if (g_tried) return g_loaded;
    g_tried = true;
    // Never closed: Samba's libraries do not survive being unloaded and
    // reloaded within one process.
    void* lib = ::dlopen("libsmbclient.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!lib) return false;
    SmbApi api;
    bool ok = Resolve(lib, "smbc_new_context", api.newContext) &&
              Resolve(lib, "smbc_init_context", api.initContext) &&
              Resolve(lib, "smbc_free_context", api.freeContext) &&
              Resolve(lib, "smbc_setDebug", api.setDebug) &&
              Resolve(lib, "smbc_setTimeout", api.setTimeout) &&
              Resolve(lib, "smbc_setPort", api.setPort) &&
              Resolve(lib, "smbc_setOptionUseKerberos", api.setUseKerberos) &&
              Resolve(lib, "smbc_setOptionFallbackAfterKerberos", api.setFallbackAfterKerberos) &&
              Resolve(lib, "smbc_setOptionNoAutoAnonymousLogin", api.setNoAutoAnonymousLogin) &&
              Resolve(lib, "smbc_setFunctionAuthDataWithContext", api.setAuth) &&
              Resolve(lib, "smbc_getFunctionOpendir", api.getOpendir) &&
              Resolve(lib, "smbc_getFunctionReaddir", api.getReaddir) &&
              Resolve(lib, "smbc_getFunctionClosedir", api.getClosedir) &&
              Resolve(lib, "smbc_getFunctionPurgeCachedServers", api.getPurge);
    if (!ok) return false;
    // smbc_thread_posix() is not called on purpose: it gives each thread its
    // own scratch stack that is never freed when the thread ends (probe
    // threads are short-lived), and listings never overlap anyway.
    g_api = api;
    g_loaded = true;
    return true;
}

// Guest: no user, no password, no workgroup; the server maps us to its guest
// account or lists anonymously.
void GuestAuth(SMBCCTX*, const char*, const char*, char* workgroup, int workgroupLen, char* user,
               int userLen, char* password, int passwordLen) {
    if (workgroupLen > 0) workgroup[0] = '\0';
    if (userLen > 0) user[0] = '\0';
    if (passwordLen > 0) password[0] = '\0';
}

// Called under ListingLock.
SMBCCTX* Context(int timeoutMs) {
    if (!g_context) {
        if (!LoadLocked()) return nullptr;
        SMBCCTX* ctx = g_api.newContext();
        if (!ctx) return nullptr;
        // VX_SMB_DEBUG=<level> shows libsmbclient's own log on stderr.
        const char* debug = std::getenv("VX_SMB_DEBUG");
        g_api.setDebug(ctx, debug ? std::atoi(debug) : 0);
        g_api.setPort(ctx, 445);
        g_api.setUseKerberos(ctx, false);
        g_api.setFallbackAfterKerberos(ctx, true);
        g_api.setNoAutoAnonymousLogin(ctx, false);
        g_api.setAuth(ctx, GuestAuth);
        if (!g_api.initContext(ctx)) {
            g_api.freeContext(ctx, 1);
            return nullptr;
        }
        g_context = ctx;
    }
    g_api.setTimeout(g_context, timeoutMs);
    return g_context;
}

}  // namespace

namespace smb_detail {

bool KeepShare(unsigned int type, const QString& name) {
    if (type != SMBC_FILE_SHARE && type != SMBC_PRINTER_SHARE) return false;
    return !name.isEmpty() && !name.endsWith(QLatin1Char('$'));
}

bool IsPlainHost(const QString& host) {
    if (host.isEmpty() || host.size() > 253) return false;
    for (QChar c : host) {
        const char16_t u = c.unicode();
        bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                  u == '.' || u == '-' || u == '_';
        if (!ok) return false;
    }
    return true;
}

}  // namespace smb_detail

QStringList ListHostShares(const QString& host, int timeoutMs,
                           const std::function<bool()>& cancelled) {
    QStringList names;
    if (!smb_detail::IsPlainHost(host)) return names;
    ListingLock lock;
    if (cancelled && cancelled()) return names;
    SMBCCTX* ctx = Context(timeoutMs > 0 ? timeoutMs : 3000);
    if (!ctx) return names;
    const QByteArray url = "smb://" + host.toLatin1() + "/";
    SMBCFILE* dir = g_api.getOpendir(ctx)(ctx, url.constData());
    if (dir) {
        smbc_readdir_fn readdir = g_api.getReaddir(ctx);
        while (smbc_dirent* entry = readdir(ctx, dir)) {
            // name is declared char[1]; a plain fromUtf8(entry->name) would
            // take that array length at its word.
            const QString name = QString::fromUtf8(entry->name, qstrlen(entry->name));
            if (smb_detail::KeepShare(entry->smbc_type, name)) names << name;
        }
        g_api.getClosedir(ctx)(ctx, dir);
    }
    // Every listing starts from a fresh connection: a cached one could
    // belong to a server that has since gone or changed its shares.
    g_api.getPurge(ctx)(ctx);
    return names;
}

}  // namespace vx::platform
