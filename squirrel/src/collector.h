// The cycle collector.
//
// Invariants (checked by sqValidateHeap after each collection in debug builds):
// - Every collectable object (table, array, closure, native closure, generator, thread, class, instance,
//   userdata) is linked exactly once into its shared state's chain while it is alive.
// - An object's reference count equals the number of owning handles to it: counts never go negative and an
//   object with count zero is not reachable.
// - After a collection no object on the chain is marked, and every object reachable from the roots (VM
// stacks,
//   root table, registry, const table, metamethod names, default delegates, pinned objects) is still on the
//   chain.
// Collection is mark-and-sweep: mark from the roots, then every unmarked object is finalized (its references
// dropped, which breaks the cycles) and freed.
#ifndef SQUIRREL_SRC_COLLECTOR_H
#define SQUIRREL_SRC_COLLECTOR_H

#include "squirrel/src/object.h"

struct SQCollector {
    SQVector<SQCollectable*> m_gray;
    void markObject(const SQObject& o);
    void markCollectable(SQCollectable* c);
};

// Runs a collection on the VM's shared state; returns the number of objects finalized by the sweep.
SQInteger sqCollectGarbage(SQVM* v);
// Checks the invariants above; returns the number of violations (and logs each to stderr).
SQInteger sqValidateHeap(SQVM* v);

#endif
