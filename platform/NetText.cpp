#include "platform/NetText.h"

namespace vx::platform {

namespace {

bool Dropped(char32_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;  // C0, DEL, C1
    switch (c) {
    case 0x061C:                    // Arabic letter mark
    case 0x200E: case 0x200F:       // left-to-right / right-to-left marks
    case 0x2028: case 0x2029:       // line and paragraph separators
    case 0xFEFF:                    // byte-order mark
        return true;
    default:
        return (c >= 0x202A && c <= 0x202E)     // embeddings and overrides
               || (c >= 0x2066 && c <= 0x2069);  // isolates
    }
}

}  // namespace

QString CleanNetworkText(QStringView text, qsizetype maxChars) {
    QString out;
    out.reserve(std::min(text.size(), maxChars));
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        const qsizetype width = (c.isHighSurrogate() && i + 1 < text.size() &&
                                 text[i + 1].isLowSurrogate()) ? 2 : 1;
        const char32_t code = width == 2
            ? QChar::surrogateToUcs4(c, text[i + 1]) : char32_t(c.unicode());
        // A lone surrogate cannot be shown either; drop it like a control.
        const bool lone = width == 1 && c.isSurrogate();
        if (!Dropped(code) && !lone) {
            if (out.size() + width > maxChars) break;
            out.append(text.mid(i, width));
        }
        i += width;
    }
    return out;
}

}  // namespace vx::platform
