#include "host/update/Signature.h"

#include <QCoreApplication>

#include <sodium.h>

#include <cstring>

namespace vx::signature {
namespace {

constexpr QByteArrayView kUntrusted = "untrusted comment: ";
constexpr QByteArrayView kTrusted = "trusted comment: ";

// The lines of `text` without their "\n" or "\r\n".
QList<QByteArrayView> Lines(QByteArrayView text) {
    QList<QByteArrayView> lines;
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf('\n');
        QByteArrayView line = end < 0 ? text : text.first(end);
        if (line.endsWith('\r')) line.chop(1);
        lines << line;
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
    }
    return lines;
}

// Exactly `size` bytes from standard base64, nothing left over.
bool Base64(QByteArrayView line, unsigned char* out, size_t size) {
    line = line.trimmed();
    size_t got = 0;
    const char* end = nullptr;
    return sodium_base642bin(out, size, line.data(), size_t(line.size()), nullptr, &got, &end,
                             sodium_base64_VARIANT_ORIGINAL) == 0 &&
           got == size && end == line.data() + line.size();
}

bool Ready() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

void Say(QString* why, const QString& text) {
    if (why) *why = text;
}

}  // namespace

bool ParsePublicKey(QByteArrayView text, PublicKey* out) {
    const QList<QByteArrayView> lines = Lines(text);
    qsizetype at = 0;
    if (!lines.isEmpty() && lines[0].startsWith(kUntrusted)) at = 1;
    if (at >= lines.size()) return false;
    unsigned char raw[2 + 8 + 32];
    if (!Base64(lines[at], raw, sizeof raw) || std::memcmp(raw, "Ed", 2) != 0) return false;
    std::memcpy(out->keyId.data(), raw + 2, 8);
    std::memcpy(out->key.data(), raw + 10, 32);
    return true;
}

bool ParseSignature(QByteArrayView text, Signature* out) {
    const QList<QByteArrayView> lines = Lines(text);
    if (lines.size() < 4 || !lines[0].startsWith(kUntrusted) || !lines[2].startsWith(kTrusted))
        return false;
    unsigned char raw[2 + 8 + 64];
    if (!Base64(lines[1], raw, sizeof raw)) return false;
    if (std::memcmp(raw, "ED", 2) == 0) out->prehashed = true;
    else if (std::memcmp(raw, "Ed", 2) == 0) out->prehashed = false;
    else return false;
    std::memcpy(out->keyId.data(), raw + 2, 8);
    std::memcpy(out->signature.data(), raw + 10, 64);
    out->trustedComment = lines[2].sliced(kTrusted.size()).toByteArray();
    return Base64(lines[3], out->globalSignature.data(), out->globalSignature.size());
}

QString KeyIdText(const KeyId& id) {
    QString text;
    // minisign prints the id as a little-endian 64-bit number.
    for (auto it = id.rbegin(); it != id.rend(); ++it)
        text += QStringLiteral("%1").arg(*it, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

bool Verify(QByteArrayView data, QByteArrayView signatureText, const QList<PublicKey>& keys,
            QString* why) {
    Signature sig;
    if (!ParseSignature(signatureText, &sig)) {
        Say(why, QCoreApplication::translate("vx::CUpdateChecker", "签名文件格式不对"));
        return false;
    }
    if (!Ready()) {
        Say(why, QCoreApplication::translate("vx::CUpdateChecker", "无法初始化签名校验"));
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    unsigned long long size = static_cast<unsigned long long>(data.size());
    unsigned char hash[crypto_generichash_BYTES_MAX];
    if (sig.prehashed) {
        crypto_generichash(hash, sizeof hash, bytes, size, nullptr, 0);
        bytes = hash;
        size = sizeof hash;
    }
    QByteArray global(reinterpret_cast<const char*>(sig.signature.data()), 64);
    global += sig.trustedComment;
    bool known = false;
    for (const PublicKey& key : keys) {
        if (key.keyId != sig.keyId) continue;
        known = true;
        if (crypto_sign_verify_detached(sig.signature.data(), bytes, size, key.key.data()) != 0)
            continue;
        if (crypto_sign_verify_detached(
                sig.globalSignature.data(), reinterpret_cast<const unsigned char*>(global.data()),
                static_cast<unsigned long long>(global.size()), key.key.data()) != 0) {
            Say(why, QCoreApplication::translate("vx::CUpdateChecker", "签名的可信注释被改动"));
            return false;
        }
        return true;
    }
    Say(why, known ? QCoreApplication::translate("vx::CUpdateChecker", "签名与内容不符")
                   : QCoreApplication::translate("vx::CUpdateChecker", "签名的公钥%1不在可信公钥中")
                         .arg(KeyIdText(sig.keyId)));
    return false;
}

}  // namespace vx::signature
