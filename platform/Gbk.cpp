#include "platform/Gbk.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace vx::platform {
namespace {

// iconv rather than QStringConverter: it is always there, and this file must
// not depend on how Qt was configured.
QByteArray Convert(const char* to, const char* from, const QByteArray& in, const QByteArray& bad) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    QByteArray out;
    std::vector<char> buf(4096);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    while (srcLeft > 0) {
        char* dst = buf.data();
        size_t dstLeft = buf.size();
        size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf.data(), static_cast<qsizetype>(buf.size() - dstLeft));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG) continue;
            // EILSEQ or EINVAL (truncated tail): replace one input unit and go on.
            out.append(bad);
            size_t skip = 1;
            if (qstrcmp(from, "UTF-8") == 0) {
                // skip a whole UTF-8 sequence
                while (skip < srcLeft && (static_cast<unsigned char>(src[skip]) & 0xC0) == 0x80) ++skip;
            }
            src += skip;
            srcLeft -= skip;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

// Below 0x80 code page 936 is ASCII. Most settings lines are, and a large file
// is read in moments when they skip the converter.
bool IsAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

bool IsAscii(const QByteArray& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
}

}  // namespace

QByteArray ToGbk(const QString& text) {
    if (IsAscii(text)) return text.toLatin1();
    return Convert("GBK", "UTF-8", text.toUtf8(), "?");
}

QString FromGbk(const QByteArray& bytes) {
    if (IsAscii(bytes)) return QString::fromLatin1(bytes);
    return QString::fromUtf8(Convert("UTF-8", "GBK", bytes, "\xEF\xBF\xBD"));
}

QString CutToGbkBytes(const QString& text, int maxBytes) {
    if (maxBytes <= 0) return {};
    // Fast path: ASCII-only or short enough.
    if (ToGbk(text).size() <= maxBytes) return text;
    int used = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        int bytes = static_cast<int>(ToGbk(text.mid(i, len)).size());
        if (used + bytes > maxBytes) break;
        used += bytes;
        i += len;
    }
    return text.left(i);
}

}  // namespace vx::platform
