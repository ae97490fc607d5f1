// What `net usershare info`, `testparm -s` and net's error output say is read
// to find taken names and to explain failures. Input: the output text (UTF-8,
// as net writes it), then optionally '\0' and a share name.
//
// A name the checks accept must read back from net's listing as itself, or a
// taken name would go unseen and net would replace that share; and a failure
// is never classified as success.
#include <cstdint>
#include <cstdlib>

#include "platform/UserShares.h"

using namespace vx::platform::usershare_detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const qsizetype nul = bytes.indexOf('\0');
    const QString text = QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
    const QString name = nul < 0 ? QString() : QString::fromUtf8(bytes.mid(nul + 1));

    ParseUsershareInfo(text);
    ParseSectionNames(text);
    for (int status : {0, 1, 255, -1})
        if (ClassifyNetFailure(text, status).Ok()) std::abort();
    CheckPathText(text);

    if (CheckName(name).Ok()) {
        const QString listing = text + QStringLiteral("\n[") + name +
                                QStringLiteral("]\npath=/srv/x\ncomment=\nusershare_acl=S-1-1-0:R,\n"
                                               "guest_ok=y\n");
        const QList<UsershareInfo> shares = ParseUsershareInfo(listing);
        if (shares.isEmpty() || shares.last().name != name || !shares.last().guestOk)
            std::abort();
    }
    return 0;
}
