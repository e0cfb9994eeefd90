#pragma once
// Stepping through a group's identifiers one call at a time, as script `foreach` over a group
// handle does: each call gets the previous identifier and answers the next one. The last answer's
// position is remembered process-wide, so the usual walk takes each step without a search; the
// remembered position is trusted only for the same group, inside the map, and when the identifier
// there still equals the previous one (parts may come and go during the walk).

#include "component/group_interfaces.h"

// The identifier after `previous` in the group's map (the first one when `previous` is null), or
// null at the end. An identifier removed during the walk still leads to the one after it. The text
// stays valid until the group's map changes.
const char* nextGroupIdentifier(IComponentGroup* group, const char* previous);
