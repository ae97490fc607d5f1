// Where a scheduled upgrade lives between the update dialog and the next
// start: section "更新升级" and one section "更新文件%d" per file.
#pragma once

#include <QString>

namespace vx::update_settings {

inline const QString kSection = QStringLiteral("更新升级");
inline const QString kUrlKey = QStringLiteral("更新信息URL");
inline const QString kCountKey = QStringLiteral("更新文件数");
inline const QString kSourceKey = QStringLiteral("原文件");
inline const QString kTargetKey = QStringLiteral("目标文件");
constexpr int kUrlBuffer = 512;
constexpr int kSourceBuffer = 256;
// A full path: the 256 characters of the original platform's paths would
// cut a longer Linux path into the name of another file.
constexpr int kTargetBuffer = 4096;

inline QString FileSection(int index) { return QStringLiteral("更新文件%1").arg(index); }

}  // namespace vx::update_settings
