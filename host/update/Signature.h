// Detached signatures in the format of the `minisign` tool, which publishers
// of components sign with: what a public key file and a signature file hold,
// and whether a signature by one of the trusted keys covers some bytes.
// Pure functions of their arguments (no files, no network), so they can be
// fed any bytes.
//
//   key file:        "untrusted comment: ..." line (optional here), then
//                    base64 of "Ed" + 8-byte key id + 32-byte Ed25519 key
//   signature file:  "untrusted comment: ..." line,
//                    base64 of "Ed" or "ED" + key id + 64-byte signature,
//                    "trusted comment: ..." line,
//                    base64 of a 64-byte signature of (signature + comment)
// "ED" signs the BLAKE2b-512 hash of the data, "Ed" the data itself.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <array>

namespace vx::signature {

using KeyId = std::array<unsigned char, 8>;

struct PublicKey {
    KeyId keyId{};
    std::array<unsigned char, 32> key{};
};

struct Signature {
    bool prehashed = false;  // "ED"
    KeyId keyId{};
    std::array<unsigned char, 64> signature{};
    QByteArray trustedComment;  // the text after "trusted comment: "
    std::array<unsigned char, 64> globalSignature{};
};

// A key file's text, or the base64 line alone (as given at build time).
bool ParsePublicKey(QByteArrayView text, PublicKey* out);
bool ParseSignature(QByteArrayView text, Signature* out);

// The key id as minisign prints it ("9FA80CC7A29F022F").
QString KeyIdText(const KeyId& id);

// True when `signatureText` is a well-formed signature of `data`, made by one
// of `keys` (the key id must match) and with its trusted comment intact.
// Otherwise `why` says which of these failed, for the output log.
bool Verify(QByteArrayView data, QByteArrayView signatureText, const QList<PublicKey>& keys,
            QString* why = nullptr);

}  // namespace vx::signature
