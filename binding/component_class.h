#pragma once
// The script class `Component`: every native component reaches scripts as an instance of it, whose user
// pointer is the component's IAbstract. Pushing a component is identity-preserving: the component remembers
// its one live handle (IAbstract::scriptInstance), so pushing it again pushes the same instance and `==`
// holds between them. A handle holds one reference, dropped by its release hook when the VM collects it.
//
// Slots, in registration order:
//   constructor    `Component()` makes an empty handle (null component)
//   _typeof        replaced by the next one
//   _cmp (b)       0 for the same component, otherwise -1 or 1 by address (second minus first), compared as
//                  pointers, never through 32-bit integers
//   _get (key)     the component's IScriptObject member (script extension first, then native method), else
//                  the part of a group with that identifier, else absent (the VM's "does not exist" error)
//   _set (key, v)  into the script extension, else a group's part (a handle registers it, null unregisters)
//   _nexti (prev)  `foreach` over a group's part identifiers (values through _get)
//   _typeof        the component's class name (IScriptObject::GetTypeName); an error without one
//   _tostring      "(component : %p)"
//   _cloned (src)  the clone refers to the same component and holds a reference of its own
//
// Pushing and reading handles are declared in binding/binding.h (pushComponent, componentArgument).

#include "binding/binding.h"

// The type tag of the `Component` class.
const ClassTypeTag& componentTypeTag();

// Registers the `Component` class in the root table (the first class the host registers). False when the
// class cannot be made.
bool registerComponentClass(HSQUIRRELVM v);
