#include "platform/Translation.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QMutex>
#include <QSet>
#include <QTranslator>

#include <memory>
#include <vector>

#include "platform/ProfileFile.h"

namespace vx::platform {
namespace {

// The translators live as long as the process: a plug-in that is unloaded
// leaves its texts installed, harmlessly, rather than a dangling translator.
struct Installed {
    QMutex lock;
    QSet<QString> modules;
    std::vector<std::unique_ptr<QByteArray>> data;
    std::vector<std::unique_ptr<QTranslator>> translators;
};

Installed& TheInstalled() {
    static Installed* installed = new Installed;  // never destroyed: see above
    return *installed;
}

bool IsEnglish(const QString& language) {
    return language.compare(QLatin1String(kEnglish), Qt::CaseInsensitive) == 0 ||
           language.startsWith(QLatin1String("en-"), Qt::CaseInsensitive) ||
           language.startsWith(QLatin1String("en_"), Qt::CaseInsensitive);
}

bool IsChinese(const QString& language) {
    return language.compare(QLatin1String("zh"), Qt::CaseInsensitive) == 0 ||
           language.startsWith(QLatin1String("zh-"), Qt::CaseInsensitive) ||
           language.startsWith(QLatin1String("zh_"), Qt::CaseInsensitive);
}

}  // namespace

QString LanguageSection() { return QStringLiteral("界面"); }
QString LanguageKey() { return QStringLiteral("语言"); }

QString ChooseUiLanguage(const QString& setting, const QStringList& desktopLanguages) {
    const QString chosen = setting.trimmed();
    if (chosen == QLatin1String(kEnglish)) return QString::fromLatin1(kEnglish);
    if (chosen == QLatin1String(kSourceLanguage)) return QString::fromLatin1(kSourceLanguage);
    for (const QString& language : desktopLanguages) {
        if (IsChinese(language)) break;
        if (IsEnglish(language)) return QString::fromLatin1(kEnglish);
    }
    return QString::fromLatin1(kSourceLanguage);
}

QString ShownToolName(const QString& name) {
    const qsizetype split = name.indexOf(QLatin1Char('_'));
    if (split >= 0)
        return ShownToolName(name.left(split)) + QLatin1Char('_') +
               ShownToolName(name.mid(split + 1));
    return name.isEmpty()
               ? name
               : QCoreApplication::translate(kToolNameContext, name.toUtf8().constData());
}

QString UiLanguageSetting() {
    return ProfileFile::Settings().GetString(LanguageSection(), LanguageKey(), QString(), 32);
}

bool SetUiLanguageSetting(const QString& language) {
    return ProfileFile::Settings().WriteString(LanguageSection(), LanguageKey(), language);
}

QString UiLanguage() {
    // Decided once: texts already shown must not change language half-way.
    static const QString language = [] {
        // The C locale lists only "C", which names no language.
        return ChooseUiLanguage(UiLanguageSetting(), QLocale::system().uiLanguages());
    }();
    return language;
}

bool InstallModuleTranslator(const QString& module) {
    const QString language = UiLanguage();
    if (language == QLatin1String(kSourceLanguage)) return false;
    Installed& installed = TheInstalled();
    QMutexLocker hold(&installed.lock);
    if (installed.modules.contains(module)) return true;
    QFile file(QStringLiteral(":/i18n/%1_%2.qm").arg(module, language));
    if (!file.open(QIODevice::ReadOnly)) return false;
    // QTranslator reads the bytes where they lie; keep a copy of our own.
    auto data = std::make_unique<QByteArray>(file.readAll());
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(reinterpret_cast<const uchar*>(data->constData()),
                          static_cast<int>(data->size())))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed.modules.insert(module);
    installed.data.push_back(std::move(data));
    installed.translators.push_back(std::move(translator));
    return true;
}

void InstallQtTranslator() {
    const QString language = UiLanguage();
    // Qt's own texts are written in English.
    if (language == QLatin1String(kEnglish)) return;
    Installed& installed = TheInstalled();
    QMutexLocker hold(&installed.lock);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_") + language,
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(translator.get());
    installed.translators.push_back(std::move(translator));
}

}  // namespace vx::platform
