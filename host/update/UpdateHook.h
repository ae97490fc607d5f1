// Start-up's look at a waiting component update, made before any plug-in is
// loaded so that files about to be replaced are not in use.
#pragma once

namespace vx {

// When "更新文件数" in "更新升级" is not 0, runs the online upgrade dialog
// modally, without a parent, and returns true once it has closed; otherwise
// returns false at once.
bool RunWaitingUpdate();

}  // namespace vx
