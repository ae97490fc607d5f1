// The settings store of a plug-in: keys of one section of the shared
// "Vexmor.ini" (platform::SettingsFilePath). Each plug-in library compiles in its
// own copy of this code (hidden symbols), so each has its own store and
// section, apart from the host's and the other plug-ins'.
//
// The tool's constructor gets the store and names the section after the bare
// tool name; its destructor deletes the store. UI thread only.
#pragma once

#include <QString>

class CToolSettings {
public:
    // The library's store, created on the first call. Null when it cannot be
    // allocated; the next call tries again.
    static CToolSettings* Get();
    // Deletes the library's store; the next Get() creates a fresh one.
    static void Delete();

    virtual ~CToolSettings() = default;

    void SetSection(const QString& section) { m_section = section; }
    const QString& GetSection() const { return m_section; }

    // The value of key, at most 2047 bytes of its file text; `defaultValue`
    // when the file, section or key is absent.
    void GetString(const QString& key, QString& out, const QString& defaultValue = QString()) const;
    // The leading integer of the value ("12abc" is 12, "abc" 0); `defaultValue`
    // when absent.
    void GetInt(const QString& key, int& out, int defaultValue = 0) const;
    // Creates file, section and key as needed. The result says whether the
    // file was written; callers of this store do not act on a failure.
    bool WriteString(const QString& key, const QString& value);
    bool WriteInt(const QString& key, int value);

private:
    CToolSettings() = default;

    QString m_section;
};
