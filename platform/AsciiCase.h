// File names are compared as they always were: only A-Z are lower-cased
// ("Ä" stays "Ä"), for plug-in suffixes, disabled lists and update entries.
#pragma once

#include <QString>

namespace vx::platform {

inline QString AsciiLower(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + (u'a' - u'A'));
    return out;
}

}  // namespace vx::platform
