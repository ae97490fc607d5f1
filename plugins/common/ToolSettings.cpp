#include "plugins/common/ToolSettings.h"

#include <new>

#include "platform/ProfileFile.h"

namespace {

// One per library: this file is compiled into each plug-in with hidden
// symbols, so every plug-in sees its own pointer.
CToolSettings* g_store = nullptr;

// A profile-string read into a buffer of 2048 bytes keeps 2047 of them.
constexpr int kStringBuffer = 2048;

}  // namespace

CToolSettings* CToolSettings::Get() {
    if (!g_store) {
        g_store = new (std::nothrow) CToolSettings;
    }
    return g_store;
}

void CToolSettings::Delete() {
    delete g_store;
    g_store = nullptr;
}

// The file is looked up anew on every call: the program directory is what
// the process says it is at that moment, not what it was when the store was
// made.
void CToolSettings::GetString(const QString& key, QString& out, const QString& defaultValue) const {
    out = vx::platform::ProfileFile::Settings().GetString(m_section, key, defaultValue,
                                                          kStringBuffer);
}

void CToolSettings::GetInt(const QString& key, int& out, int defaultValue) const {
    out = vx::platform::ProfileFile::Settings().GetInt(m_section, key, defaultValue);
}

bool CToolSettings::WriteString(const QString& key, const QString& value) {
    auto file = vx::platform::ProfileFile::Settings();
    return file.WriteString(m_section, key, value);
}

bool CToolSettings::WriteInt(const QString& key, int value) {
    return WriteString(key, QString::asprintf("%d", value));
}
