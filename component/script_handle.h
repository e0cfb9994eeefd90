#pragma once
// What the script binding needs from a component when it hands it to scripts as a handle: whether
// it may be handed out, how two handles order, and what a handle's release hook does. Addresses are
// compared as pointers, never through 32-bit script integers.

#include "component/abstract.h"

// Whether a component may be handed to scripts: not null and not being destroyed (its count is 0
// during destruction, where the handle's reference would be ignored and then dangle).
bool canHandToScript(IAbstract* component);

// 0 when both handles denote the same component; otherwise -1 or 1 following the sign of the
// second address minus the first (null sorts first).
int compareComponentHandles(const IAbstract* first, const IAbstract* second);

// The release hook of a script instance that held `component`: drops the instance's reference and
// forgets the instance as the component's script representative only when it still is that
// representative (a cloned handle must not clear its original's entry).
void releaseFromScriptInstance(IAbstract* component, const void* instance);
