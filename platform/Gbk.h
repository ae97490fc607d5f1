// Code page 936 (GBK) at the boundary of files whose format is GBK text.
#pragma once

#include <QByteArray>
#include <QString>

namespace vx::platform {

// Unconvertible characters become '?', as the original code page would.
QByteArray ToGbk(const QString& text);
// Invalid byte sequences become U+FFFD.
QString FromGbk(const QByteArray& bytes);

// The longest prefix of `text` whose GBK form has at most `maxBytes` bytes,
// never splitting a two-byte character.
QString CutToGbkBytes(const QString& text, int maxBytes);

}  // namespace vx::platform
