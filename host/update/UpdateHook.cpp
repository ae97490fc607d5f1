#include "host/update/UpdateHook.h"

#include "platform/ProfileFile.h"

namespace vx {

bool RunWaitingUpdate() {
    const int files = platform::ProfileFile::Settings().GetInt(QStringLiteral("更新升级"),
                                                               QStringLiteral("更新文件数"), 0);
    return files != 0;
}

}  // namespace vx
