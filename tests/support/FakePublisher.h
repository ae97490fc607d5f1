// A publisher of components for one test: a minisign key pair made at test
// time in a temporary folder (no password), signing as publishers do with
// the packaged tool. No private key lives anywhere else.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class FakePublisher {
public:
    FakePublisher() { m_ok = Run({"-G", "-W", "-p", Path("key.pub"), "-s", Path("key")}); }

    bool IsReady() const { return m_ok; }
    QByteArray PublicKeyFile() const { return Read(Path("key.pub")); }

    // The signature file of `data`: prehashed (minisign's default) or legacy.
    QByteArray Sign(const QByteArray& data, bool legacy = false) const {
        QFile out(Path("data"));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(data) < 0) return {};
        out.close();
        QStringList args{"-S", "-s", Path("key"), "-m", Path("data"), "-t", "vexmor test"};
        if (legacy) args << "-l";
        return Run(args) ? Read(Path("data.minisig")) : QByteArray();
    }

    // Puts the public key where the program looks for trusted keys.
    bool TrustIn(const QString& programDir) const {
        return QDir(programDir).mkpath("keys") &&
               QFile::copy(Path("key.pub"), programDir + "keys/publisher.pub");
    }

private:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool Run(const QStringList& args) const {
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.start("minisign", args);
        return m_dir.isValid() && p.waitForFinished(20000) &&
               p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    bool m_ok = false;
};
