// Signature and key files come from the update server and from whoever can
// write the keys folder: any bytes. The input is split at bytes 0x01 into a
// signature file, a key file and the signed data; nothing may crash, a
// signature is never valid without a key, and a refusal always says why.
#include <cstdint>
#include <cstdlib>

#include "host/update/Signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<QByteArray> parts = input.split('\x01');
    const QByteArray signatureText = parts.value(0);
    const QByteArray keyText = parts.value(1);
    const QByteArray signedData = parts.value(2);
    QList<vx::signature::PublicKey> keys;
    if (vx::signature::PublicKey key; vx::signature::ParsePublicKey(keyText, &key)) {
        keys << key;
        vx::signature::KeyIdText(key.keyId);
    }
    vx::signature::Signature parsed;
    vx::signature::ParseSignature(signatureText, &parsed);
    QString why;
    if (vx::signature::Verify(signedData, signatureText, {}, &why)) std::abort();
    if (!vx::signature::Verify(signedData, signatureText, keys, &why) && why.isEmpty())
        std::abort();
    return 0;
}
