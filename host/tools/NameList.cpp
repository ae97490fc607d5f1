#include "host/tools/NameList.h"

#include <QStringList>

namespace vx {

// A hand-edited last name without its ";" still counts as a name.
bool NameListContains(const QString& list, const QString& name) {
    return !name.isEmpty() && list.split(u';').contains(name);
}

QString NameListWithout(const QString& list, const QString& name) {
    QStringList entries = list.split(u';');
    entries.removeAll(name);
    return entries.join(u';');
}

}  // namespace vx
