// Text that another host supplied (share names, host names, anything read off
// the network) is shown, logged and stored only after passing through here:
// control characters and the characters that reorder text on screen are
// dropped, so a peer can neither break a line nor make one name read as
// another, and the length is bounded.
#pragma once

#include <QString>
#include <QStringView>

namespace vx::platform {

// `text` without C0/C1 control characters, DEL, bidirectional embeddings,
// overrides, isolates and marks, and the byte-order mark; at most `maxChars`
// UTF-16 units long, never cut inside a surrogate pair.
QString CleanNetworkText(QStringView text, qsizetype maxChars = 255);

}  // namespace vx::platform
