// The window's mouse cursor: pictures shipped as res/cursors/<id or name>.bmp, the system arrow when missing.
#pragma once

#include "platform/kd.h"

namespace platform {

// Loads cursor <id>, shows it and keeps it as the window's cursor; remembers the id. Always 0: a cursor that
// cannot be loaded is replaced by the system arrow.
KDint setWindowCursorId(KDWindow* window, KDint32 id);
// The same for a cursor given by name (letters, digits, '_', '-' and '.' only; anything else gives the
// arrow).
KDint setWindowCursorName(KDWindow* window, const KDchar* name);
// Frees the window's cursor (the system default comes back).
void releaseWindowCursor(KDWindow* window);

} // namespace platform
