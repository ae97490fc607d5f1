// The keys that may sign update pages and components: every "*.pub" file in
// the program folder's "keys" folder (laid out by the install step and by an
// administrator), and the key given when the program was built, if any.
#pragma once

#include <QList>

#include "host/update/Signature.h"

namespace vx {

// Read afresh on each call; a file that holds no key is skipped (and logged).
QList<signature::PublicKey> TrustedKeys();

// Whether `signatureText` is a signature of `data` by a trusted key; `why`
// says otherwise why not.
bool IsSignedByTrustedKey(QByteArrayView data, QByteArrayView signatureText,
                          QString* why = nullptr);

// Where a file's signature is fetched from: beside it, `url` + ".minisig".
QString SignatureUrl(const QString& url);
// A signature file is a few lines; anything larger is not one.
constexpr qsizetype kMaxSignatureBytes = 16 * 1024;

}  // namespace vx
