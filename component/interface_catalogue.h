#pragma once
// The engine's table of interface identities, in its fixed order, and lookup by name text (for
// scripts and diagnostics; native code queries with the interface's own ID).

#include <span>
#include <string_view>

#include "component/interface_id.h"

// The 44 engine interfaces, IAbstract ... ITileManager.
std::span<const InterfaceId> engineInterfaces();
// The 9 game interfaces, ITileAnimationData ... ITSPSolver.
std::span<const InterfaceId> gameInterfaces();
// The interface whose name has exactly this text, or the empty identity.
InterfaceId findInterface(std::string_view name);
