#include "platform/WholeFile.h"

#include <QSaveFile>

#include <unistd.h>

namespace vx::platform {

bool WriteWholeFile(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile out(path);
    // QSaveFile buffers, and when its final flush is cut short (disk full,
    // file size limit) commit() still renames the cut-off file over the whole
    // one. Flush and sync here and give up on any failure instead.
    const bool ok = out.open(QIODevice::WriteOnly) && out.write(data) == data.size() &&
                    out.flush() && ::fsync(out.handle()) == 0;
    if (!ok) {
        if (error) *error = out.errorString();
        out.cancelWriting();
        return false;
    }
    if (out.commit()) return true;
    if (error) *error = out.errorString();
    return false;
}

}  // namespace vx::platform
