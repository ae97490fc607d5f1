// The settings' lists of component file names, each name followed by ";"
// ("vx_a.so;vx_b.so;"). Names are compared whole and case-sensitively: a
// name never matches inside a longer one ("vx_a.so" is not in "vx_vx_a.so;").
#pragma once

#include <QString>

namespace vx {

bool NameListContains(const QString& list, const QString& name);
// `list` without any entry equal to `name`; every other entry stays as written.
QString NameListWithout(const QString& list, const QString& name);

}  // namespace vx
