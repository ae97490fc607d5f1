// The update-information page comes from a web server: any bytes, any size up
// to the transfer cap. Whatever it holds, every entry that comes out names a
// file that stays inside ToolDlls, and version comparison is a strict order.
#include <cstdint>
#include <cstdlib>

#include "host/update/UpdateInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray page(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<vx::ComponentRecord> entries;
    if (!vx::ParseUpdatePage(page, &entries) && !entries.isEmpty()) std::abort();
    QStringList versions{QStringLiteral("1, 0, 0, 2"), QStringLiteral("1.72")};
    for (const vx::ComponentRecord& e : entries) {
        if (!vx::IsSafeComponentName(e.fileName) || e.fileName.contains(u'/') ||
            e.fileName.contains(QLatin1String("..")))
            std::abort();
        versions << vx::NormaliseVersionText(e.mainVersion) << vx::NormaliseVersionText(e.newVersion);
        vx::FindComponent(entries, vx::AsciiLower(e.fileName));
    }
    for (const QString& a : versions) {
        if (vx::IsNewerVersion(a, a)) std::abort();
        for (const QString& b : versions)
            if (vx::IsNewerVersion(a, b) && vx::IsNewerVersion(b, a)) std::abort();
    }
    return 0;
}
