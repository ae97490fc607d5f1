// Numbered controls: every dialog control and menu command that has a
// number is findable by it (objectName and property "vxId"), in the host and
// in the plug-ins alike, so tests and the accessibility tree address them as
// the program's own code does.
#pragma once

#include <QString>

namespace vx::platform {

template <class T>
T* Numbered(T* object, int id) {
    object->setObjectName(QString::number(id));
    object->setProperty("vxId", id);
    return object;
}

}  // namespace vx::platform
