#include "host/update/UpdateHook.h"

#include "host/update/OnlineUpgradeDlg.h"
#include "host/update/UpdateSettings.h"
#include "platform/Modal.h"
#include "platform/ProfileFile.h"

namespace vx {

bool RunWaitingUpdate() {
    const int files = platform::ProfileFile::Settings().GetInt(update_settings::kSection,
                                                               update_settings::kCountKey, 0);
    if (files == 0) return false;
    platform::RunModal(new COnlineUpgradeDlg());
    return true;
}

}  // namespace vx
