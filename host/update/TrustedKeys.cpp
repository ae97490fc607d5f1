#include "host/update/TrustedKeys.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>

#include "platform/ProgramDir.h"

namespace vx {
namespace {

constexpr qint64 kMaxKeyFileBytes = 4096;

}  // namespace

QList<signature::PublicKey> TrustedKeys() {
    QList<signature::PublicKey> keys;
#ifdef VX_TRUSTED_PUBKEY
    if (signature::PublicKey built; signature::ParsePublicKey(VX_TRUSTED_PUBKEY, &built))
        keys << built;
#endif
    const QDir dir(platform::GetProgramDir() + QStringLiteral("keys"));
    for (const QFileInfo& info :
         dir.entryInfoList({QStringLiteral("*.pub")}, QDir::Files, QDir::Name)) {
        QFile file(info.filePath());
        signature::PublicKey key;
        if (info.size() <= kMaxKeyFileBytes && file.open(QIODevice::ReadOnly) &&
            signature::ParsePublicKey(file.read(kMaxKeyFileBytes), &key))
            keys << key;
        else
            qWarning() << "not a public key file:" << info.filePath();
    }
    return keys;
}

bool IsSignedByTrustedKey(QByteArrayView data, QByteArrayView signatureText, QString* why) {
    const QList<signature::PublicKey> keys = TrustedKeys();
    if (keys.isEmpty()) {
        if (why)
            *why = QCoreApplication::translate("vx::CUpdateChecker", "没有可信的公钥(keys/*.pub)");
        return false;
    }
    return signature::Verify(data, signatureText, keys, why);
}

QString SignatureUrl(const QString& url) { return url + QStringLiteral(".minisig"); }

}  // namespace vx
