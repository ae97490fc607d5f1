// Numbered controls: every dialog control and menu command that has a
// number is findable by it (objectName and property "vxId"), in the host and
// in the plug-ins alike, so tests and the accessibility tree address them as
// the program's own code does.
#pragma once

class QObject;

namespace vx::platform {

// Gives `object` the number `id`.
void SetNumber(QObject* object, int id);

// SetNumber for a control just made, handed back for further use. Always
// inlined: the plug-ins keep no code of the platform library of their own.
template <class T>
[[gnu::always_inline]] inline T* Numbered(T* object, int id) {
    SetNumber(object, id);
    return object;
}

}  // namespace vx::platform
