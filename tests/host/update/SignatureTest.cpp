// Detached signatures as the minisign tool writes them, made at test time
// with a key of this test's own, and what the verifier makes of them when
// someone between the publisher and the program has changed a byte.
#include <QTest>

#include "host/update/Signature.h"
#include "support/FakePublisher.h"

using vx::signature::PublicKey;

namespace {

PublicKey KeyOf(const FakePublisher& publisher) {
    PublicKey key;
    vx::signature::ParsePublicKey(publisher.PublicKeyFile(), &key);
    return key;
}

// `text` with its second line (the base64 signature) decoded, changed by
// `edit` and encoded again.
QByteArray EditRaw(const QByteArray& text, const std::function<void(QByteArray&)>& edit) {
    QList<QByteArray> lines = text.split('\n');
    QByteArray raw = QByteArray::fromBase64(lines[1]);
    edit(raw);
    lines[1] = raw.toBase64();
    return lines.join('\n');
}

}  // namespace

Q_DECLARE_METATYPE(QList<PublicKey>)

class SignatureTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY2(m_publisher.IsReady() && m_stranger.IsReady(), "minisign did not make keys");
    }

    void verifies_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QList<PublicKey>>("keys");
        QTest::addColumn<QString>("why");  // empty: valid
        const QByteArray lib = "\x7f" "ELF a library\n" + QByteArray(3000, '\0');
        const QByteArray sig = m_publisher.Sign(lib);
        const QByteArray legacy = m_publisher.Sign(lib, true);
        const QList<PublicKey> trusted{KeyOf(m_stranger), KeyOf(m_publisher)};
        PublicKey impostor = KeyOf(m_stranger);
        impostor.keyId = KeyOf(m_publisher).keyId;

        QTest::newRow("prehashed") << lib << sig << trusted << "";
        QTest::newRow("legacy") << lib << legacy << trusted << "";
        QTest::newRow("empty file") << QByteArray() << m_publisher.Sign({}) << trusted << "";
        QTest::newRow("CRLF lines") << lib << QByteArray(sig).replace("\n", "\r\n") << trusted << "";
        QTest::newRow("one byte changed") << QByteArray(lib).replace("a library", "a librarz")
                                          << sig << trusted << "签名与内容不符";
        QTest::newRow("legacy, one byte added") << lib + '\0' << legacy << trusted
                                                << "签名与内容不符";
        QTest::newRow("trusted comment changed")
            << lib << QByteArray(sig).replace("vexmor test", "vexmor tesT") << trusted
            << "签名的可信注释被改动";
        QTest::newRow("unknown key") << lib << m_stranger.Sign(lib)
                                     << QList<PublicKey>{KeyOf(m_publisher)} << "不在可信公钥中";
        QTest::newRow("no trusted key") << lib << sig << QList<PublicKey>{} << "不在可信公钥中";
        QTest::newRow("key id matches, key does not")
            << lib << sig << QList<PublicKey>{impostor} << "签名与内容不符";
        QTest::newRow("prehash flag dropped")
            << lib << EditRaw(sig, [](QByteArray& raw) { raw[1] = 'd'; }) << trusted
            << "签名与内容不符";
        QTest::newRow("unknown algorithm")
            << lib << EditRaw(sig, [](QByteArray& raw) { raw[1] = 'x'; }) << trusted
            << "签名文件格式不对";
        QTest::newRow("signature cut") << lib << EditRaw(sig, [](QByteArray& raw) { raw.chop(1); })
                                       << trusted << "签名文件格式不对";
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
        QVERIFY(!signature.isEmpty());
        QString got;
        QCOMPARE(vx::signature::Verify(data, signature, keys, &got), why.isEmpty());
        QVERIFY2(got.contains(why), qPrintable(got));
    }

    void readsPublicKeys_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        const QByteArray file = m_publisher.PublicKeyFile();
        const QByteArray line = file.split('\n').value(1);
        QTest::newRow("key file") << file << true;
        QTest::newRow("base64 line alone") << line << true;
        QTest::newRow("CRLF") << QByteArray(file).replace("\n", "\r\n") << true;
        QTest::newRow("comment only") << file.split('\n').value(0) << false;
        QTest::newRow("line cut") << line.left(line.size() - 4) << false;
        QTest::newRow("a signature, not a key") << m_publisher.Sign("x") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void readsPublicKeys() {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        PublicKey key;
        QCOMPARE(vx::signature::ParsePublicKey(text, &key), ok);
        // The id reads as minisign prints it in the key file's comment.
        if (ok) QVERIFY(m_publisher.PublicKeyFile().startsWith(
                    "untrusted comment: minisign public key " +
                    vx::signature::KeyIdText(key.keyId).toLatin1() + "\n"));
    }

private:
    FakePublisher m_publisher;
    FakePublisher m_stranger;
};

QTEST_GUILESS_MAIN(SignatureTest)
#include "SignatureTest.moc"
