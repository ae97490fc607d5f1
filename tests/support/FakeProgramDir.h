// A private program directory for one test: VX_PROGRAM_DIR points at a fresh
// temporary folder with its own ToolDlls, Vexmor.ini and fixture log, and is
// cleared again when the object goes.
#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "platform/Gbk.h"

#ifndef VX_FIXTURE_DIR
#define VX_FIXTURE_DIR ""
#endif

// The lines of `lines` that start with `prefix`, in order.
inline QStringList LinesStartingWith(const QStringList& lines, const QString& prefix) {
    QStringList out;
    for (const QString& l : lines)
        if (l.startsWith(prefix)) out << l;
    return out;
}

// The bytes of a file; "<none>" when it cannot be read.
inline QByteArray ReadFileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
}

// The bytes of fixture `folder`/`file`.
inline QByteArray FixtureBytes(const QString& folder, const QString& file) {
    return ReadFileBytes(QStringLiteral(VX_FIXTURE_DIR "/") + folder + '/' + file);
}

class FakeProgramDir {
public:
    FakeProgramDir() {
        QDir(m_dir.path()).mkdir(QStringLiteral("ToolDlls"));
        qputenv("VX_PROGRAM_DIR", QFile::encodeName(m_dir.path() + '/'));
        qputenv("VX_FIXTURE_LOG", QFile::encodeName(LogPath()));
    }
    ~FakeProgramDir() {
        qunsetenv("VX_PROGRAM_DIR");
        qunsetenv("VX_FIXTURE_LOG");
    }
    FakeProgramDir(const FakeProgramDir&) = delete;
    FakeProgramDir& operator=(const FakeProgramDir&) = delete;

    QString Path() const { return m_dir.path() + '/'; }
    QString PluginDir() const { return Path() + QStringLiteral("ToolDlls/"); }
    QString IniPath() const { return Path() + QStringLiteral("Vexmor.ini"); }
    QString LogPath() const { return m_dir.path() + QStringLiteral("/fixture.log"); }

    // Copies fixture `folder`/`file` into ToolDlls (or the folder `into`), as
    // `as` if given.
    bool AddFixture(const QString& folder, const QString& file, const QString& as = {},
                    const QString& into = {}) const {
        return QFile::copy(QStringLiteral(VX_FIXTURE_DIR "/") + folder + '/' + file,
                           (into.isEmpty() ? PluginDir() : into) + (as.isEmpty() ? file : as));
    }
    // Every file of fixture folder `folder`.
    bool AddFixtureFolder(const QString& folder) const {
        const QDir src(QStringLiteral(VX_FIXTURE_DIR "/") + folder);
        const QStringList files = src.entryList(QDir::Files);
        bool ok = !files.isEmpty();
        for (const QString& f : files) ok = AddFixture(folder, f) && ok;
        return ok;
    }
    bool WriteIni(const QString& text) const {
        QFile f(IniPath());
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               f.write(vx::platform::ToGbk(text)) >= 0;
    }
    QString ReadIni() const {
        QFile f(IniPath());
        return f.open(QIODevice::ReadOnly) ? vx::platform::FromGbk(f.readAll()) : QString();
    }
    QStringList ReadLog() const {
        QFile f(LogPath());
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    void ClearLog() const { QFile::remove(LogPath()); }

private:
    QTemporaryDir m_dir;
};

// A program folder shared by every user (it holds the per-user marker, so the
// choice holds for root too) and one user's XDG folders in a temporary folder.
class FakeSharedProgramDir : public FakeProgramDir {
public:
    FakeSharedProgramDir() {
        QFile(Path() + QStringLiteral("per-user-data")).open(QIODevice::WriteOnly);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.path() + "/config"));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path() + "/data"));
        QDir().mkpath(UserPluginDir());
        QDir().mkpath(m_home.path() + "/config/vexmor");
    }
    ~FakeSharedProgramDir() {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
    }
    QString UserPluginDir() const { return m_home.path() + "/data/vexmor/ToolDlls/"; }
    QString UserIniPath() const { return m_home.path() + "/config/vexmor/Vexmor.ini"; }

private:
    QTemporaryDir m_home;
};
