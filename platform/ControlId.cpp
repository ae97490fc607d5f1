#include "platform/ControlId.h"

#include <QObject>
#include <QString>
#include <QVariant>

namespace vx::platform {

void SetNumber(QObject* object, int id) {
    object->setObjectName(QString::number(id));
    object->setProperty("vxId", id);
}

}  // namespace vx::platform
