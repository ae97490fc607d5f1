// Signatures made at test time by the minisign tool, and what the verifier
// makes of them once someone between publisher and program changed a byte.
#include <QTest>

#include "host/update/Signature.h"
#include "support/FakePublisher.h"

using vx::signature::PublicKey;

Q_DECLARE_METATYPE(QList<PublicKey>)

class SignatureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_publisher.IsReady() && m_stranger.IsReady()); }

    void verifies_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QList<PublicKey>>("keys");
        QTest::addColumn<QString>("why");  // empty: valid
        const QByteArray lib = "\x7f" "ELF a library\n" + QByteArray(3000, '\0');
        const QByteArray sig = m_publisher.Sign(lib);
        const QByteArray legacy = m_publisher.Sign(lib, true);
        const QList<PublicKey> trusted{Key(m_stranger), Key(m_publisher)};
        PublicKey impostor = Key(m_stranger);
        impostor.keyId = Key(m_publisher).keyId;
        QByteArray otherAlgorithm = sig;
        otherAlgorithm.replace("\nRU", "\nRV");  // "ED" -> "ET"

        QTest::newRow("prehashed") << lib << sig << trusted << "";
        QTest::newRow("legacy") << lib << legacy << trusted << "";
        QTest::newRow("CRLF lines") << lib << QByteArray(sig).replace("\n", "\r\n") << trusted << "";
        QTest::newRow("one byte changed") << QByteArray(lib).replace("a lib", "a liB") << sig
                                          << trusted << "签名与内容不符";
        QTest::newRow("legacy, one byte added") << lib + '\0' << legacy << trusted
                                                << "签名与内容不符";
        QTest::newRow("trusted comment changed")
            << lib << QByteArray(sig).replace("vexmor test", "vexmor tesT") << trusted
            << "签名的可信注释被改动";
        QTest::newRow("unknown key") << lib << m_stranger.Sign(lib) << QList<PublicKey>{Key(m_publisher)}
                                     << "不在可信公钥中";
        QTest::newRow("key id matches, key does not") << lib << sig << QList<PublicKey>{impostor}
                                                      << "签名与内容不符";
        QTest::newRow("unknown algorithm") << lib << otherAlgorithm << trusted << "签名文件格式不对";
        QTest::newRow("no global signature") << lib << sig.left(sig.lastIndexOf("trusted"))
                                             << trusted << "签名文件格式不对";
        QTest::newRow("an error page") << lib << QByteArray("<html>404</html>") << trusted
                                       << "签名文件格式不对";
    }
    void verifies() {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, signature);
        QFETCH(QList<PublicKey>, keys);
        QFETCH(QString, why);
        QString got;
        QCOMPARE(vx::signature::Verify(data, signature, keys, &got), why.isEmpty());
        QVERIFY2(got.contains(why), qPrintable(got));
    }

private:
    // The key as its file reads, its id as minisign prints it in the comment.
    static PublicKey Key(const FakePublisher& publisher) {
        PublicKey key;
        const QByteArray file = publisher.PublicKeyFile();
        if (!vx::signature::ParsePublicKey(file, &key)) qFatal("the key file does not read");
        // minisign prints the id without leading zeros.
        QByteArray id = vx::signature::KeyIdText(key.keyId).toLatin1();
        while (id.size() > 1 && id.startsWith('0')) id.remove(0, 1);
        if (!file.contains(" " + id + "\n")) qFatal("the key file's comment names another id");
        return key;
    }

    FakePublisher m_publisher;
    FakePublisher m_stranger;
};

QTEST_GUILESS_MAIN(SignatureTest)
#include "SignatureTest.moc"
