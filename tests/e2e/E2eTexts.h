// The program's texts as this run of the suite expects to see them. The
// suite runs once in the source language (E2eTest) and once in English
// (E2eEnglishTest, VX_E2E_LANGUAGE=en): then every expected text is looked
// up in the modules' own .ts files (VX_E2E_TS, separated by ':'), the same
// translations the program loads. A text that no .ts translates stays as
// written, as the program shows it then.
#pragma once

#include <QString>

namespace vx::e2e {

// The language of this run: "" for the source language, or "en".
QString RunLanguage();

// `source` as the program shows it; `context` picks one where the same
// source text is translated differently in two places.
QString T(const char* source, const char* context = nullptr);

// A tool's full name "folder_tool" as the tool lists show it.
QString ShownTool(const QString& fullName);

}  // namespace vx::e2e
