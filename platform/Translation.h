// The language of the interface. Every text of the program is written in the
// code in simplified Chinese, the source language, and shows as written
// unless a translation replaces it. English is the one translation carried.
//
// Each module (the host, each plug-in) carries its own translation, compiled
// into the module as the Qt resource ":/i18n/<module>_<language>.qm" (see
// vx_add_translations in cmake/Vexmor.cmake): a plug-in that an update
// replaces brings its own texts along, and nothing else has to be installed.
// The texts written to files and peers (settings sections and keys, share
// names, the update page) are never translated.
//
// The language is decided once per process, before the first window:
//   1. the setting [界面] 语言 in Vexmor.ini: "en" or "zh_CN"; empty or
//      anything else means "follow the desktop";
//   2. the desktop's languages in order of preference (LANGUAGE, LC_ALL,
//      LC_MESSAGES, LANG as Qt reads them): the first that is Chinese or
//      English decides;
//   3. otherwise, and for the C/POSIX locale, the source language.
// A change of the setting applies at the next start.
#pragma once

#include <QString>
#include <QStringList>

namespace vx::platform {

inline constexpr char kSourceLanguage[] = "zh_CN";
inline constexpr char kEnglish[] = "en";

// The settings section and key of rule 1.
QString LanguageSection();
QString LanguageKey();

// Rules 1–3 for a setting's value and the desktop's languages in order
// ("en-GB", "zh-Hans-CN", "C"): kEnglish or kSourceLanguage.
QString ChooseUiLanguage(const QString& setting, const QStringList& desktopLanguages);

// The language of this process, decided at the first call from the settings
// file and QLocale::system().
QString UiLanguage();

// The setting as stored ("" when absent), and a new one for the next start.
QString UiLanguageSetting();
bool SetUiLanguageSetting(const QString& language);

// A tool's full name "folder_tool" names its settings and is never
// translated; as shown, each part is looked up in the context "ToolName",
// where every module declares the parts of its tools' names with
// QT_TRANSLATE_NOOP("ToolName", "..."). Takes one part or a whole name.
inline constexpr char kToolNameContext[] = "ToolName";
QString ShownToolName(const QString& name);

// Installs the translator of `module` for UiLanguage(), once per module and
// process; nothing for the source language. The translation is copied out
// of the module's resources, so it stays valid after the module is unloaded.
// Returns whether a translation is installed. Call on the UI thread before
// the module makes its first window.
bool InstallModuleTranslator(const QString& module);

// Qt's own texts (standard buttons, file dialogs) in UiLanguage(), from Qt's
// translations folder; the host calls it once at start.
void InstallQtTranslator();

}  // namespace vx::platform
