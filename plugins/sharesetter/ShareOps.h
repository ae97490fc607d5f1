// Sharing a folder of this machine read-only to everyone, and unsharing it,
// through the share layer of the platform. The page calls these on its own
// thread; they block until the share service answers.
#pragma once

#include <QString>

class CHostOutput;

namespace vx::platform {
class IUserShares;
}

namespace vx::sharesetter {

// The share name proposed for a folder: its last component ("/data/music"
// gives "music"; trailing '/' ignored). A path that is only separators gives
// its first character followed by "盘", an empty path just "盘".
QString ShareNameFromPath(const QString& path);

// The reason text of a failed add, by result code.
QString ShareFailureReason(int code);

// Shares `path` as `name` and writes the outcome to `output`: the success
// line, or the failure line followed by the layer's advice when it has one.
bool AddShare(vx::platform::IUserShares& shares, CHostOutput* output, const QString& path,
              const QString& name);

// Removes the share `name`; writes nothing.
bool DeleteShare(vx::platform::IUserShares& shares, const QString& name);

}  // namespace vx::sharesetter
