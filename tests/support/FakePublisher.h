// A publisher of components for one test: a minisign key pair made at test
// time in a temporary folder (no password), signing bytes as a publisher
// does with the packaged tool. No private key is kept anywhere else.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class FakePublisher {
public:
    FakePublisher() {
        m_ok = m_dir.isValid() &&
               Run({"-G", "-W", "-p", PublicKeyPath(), "-s", m_dir.filePath("key")});
    }

    bool IsReady() const { return m_ok; }
    QString PublicKeyPath() const { return m_dir.filePath("key.pub"); }
    QByteArray PublicKeyFile() const { return Read(PublicKeyPath()); }

    // The signature file for `data`: prehashed ("ED", minisign's default) or
    // the legacy form of `-l` ("Ed").
    QByteArray Sign(const QByteArray& data, bool legacy = false) const {
        const QString file = m_dir.filePath("data");
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(data) < 0)
            return {};
        out.close();
        QStringList args{"-S", "-s", m_dir.filePath("key"), "-m", file, "-x", file + ".minisig",
                         "-t", "vexmor test"};
        if (legacy) args << "-l";
        return Run(args) ? Read(file + ".minisig") : QByteArray();
    }

    // Puts the public key where the program looks for trusted keys.
    bool TrustIn(const QString& programDir, const QString& name = "publisher.pub") const {
        return QDir(programDir).mkpath("keys") &&
               QFile::copy(PublicKeyPath(), programDir + "keys/" + name);
    }

private:
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static bool Run(const QStringList& args) {
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.start("minisign", args);
        return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit &&
               p.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    bool m_ok = false;
};
