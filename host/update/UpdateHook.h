// Start-up's look at a waiting component update, made before any plug-in is
// loaded so that files about to be replaced are not in use.
#pragma once

namespace vx {

// True when "更新文件数" in "更新升级" says an update is waiting. The online
// upgrade dialog that applies it runs from here once it exists; until then
// the update stays waiting.
bool RunWaitingUpdate();

}  // namespace vx
