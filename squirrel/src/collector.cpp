// Mark-and-sweep cycle collector over the chain of collectable objects (invariants in collector.h).
#include "squirrel/src/collector.h"

#include "squirrel/src/shared_state.h"
#include "squirrel/src/vm.h"

#include <cstdio>

void SQCollector::markObject(const SQObject& o) {
    switch (o._type) {
    case OT_TABLE:
    case OT_ARRAY:
    case OT_CLOSURE:
    case OT_NATIVECLOSURE:
    case OT_GENERATOR:
    case OT_THREAD:
    case OT_CLASS:
    case OT_INSTANCE:
    case OT_USERDATA:
        markCollectable(static_cast<SQCollectable*>(o._unVal.pRefCounted));
        break;
    default:
        break;
    }
}

void SQCollector::markCollectable(SQCollectable* c) {
    if (!c || c->_marked) return;
    c->_marked = true;
    m_gray.push_back(c);
}

static void markRoots(SQSharedState* ss, SQCollector& c) {
    c.markCollectable(ss->_root_vm);
    c.markObject(ss->_registry);
    c.markObject(ss->_consts);
    c.markObject(ss->_metamethodsmap);
    c.markObject(ss->_refs);
    c.markObject(ss->_table_default_delegate);
    c.markObject(ss->_array_default_delegate);
    c.markObject(ss->_string_default_delegate);
    c.markObject(ss->_number_default_delegate);
    c.markObject(ss->_closure_default_delegate);
    c.markObject(ss->_generator_default_delegate);
    c.markObject(ss->_thread_default_delegate);
    c.markObject(ss->_class_default_delegate);
    c.markObject(ss->_instance_default_delegate);
    c.markObject(ss->_weakref_default_delegate);
}

SQInteger sqCollectGarbage(SQVM* v) {
    SQSharedState* ss = _ss(v);
    if (ss->_collecting) return 0;
    ss->_collecting = true;
    SQCollector c;
    SQInteger count = 0;
    try {
        markRoots(ss, c);
        // the VM running the collection may be a thread not reachable otherwise
        c.markCollectable(v);
        while (!c.m_gray.empty()) {
            SQCollectable* o = c.m_gray.back();
            c.m_gray.pop_back();
            o->mark(c);
        }
        // The sweep walks the chain (newest first) and finalizes each piece of garbage still alive; only
        // those count. Garbage whose last reference goes meanwhile is finalized through its release (dispose)
        // and is not counted, as the reference counts. Nothing is freed before the end, so the list stays
        // valid.
        SQVector<SQCollectable*> garbage;
        for (SQCollectable* o = ss->_gcchain; o; o = o->_gcnext)
            if (!o->_marked) garbage.push_back(o);
        for (SQCollectable* o : garbage) o->_sweep = SQCollectable::kGarbage;
        for (SQCollectable* o : garbage) {
            if (o->_sweep != SQCollectable::kGarbage) continue;
            o->_sweep = SQCollectable::kSwept;
            ++o->_uiRef;
            o->finalize();
            ++count;
            if (--o->_uiRef == 0) o->release();
        }
        for (SQCollectable* o : garbage) {
            // a native handle may still hold a piece of garbage: it stays, emptied
            if (o->_sweep == SQCollectable::kDead)
                o->destroy();
            else
                o->_sweep = SQCollectable::kLive;
        }
    } catch (SQOutOfMemory&) {
        // marking could not finish: free nothing this time
    }
    for (SQCollectable* o = ss->_gcchain; o; o = o->_gcnext) o->_marked = false;
    ss->_collecting = false;
#if SQ_VALIDATE_GC
    sqValidateHeap(v);
#endif
    return count;
}

SQInteger sqValidateHeap(SQVM* v) {
    SQSharedState* ss = _ss(v);
    SQInteger problems = 0;
    SQCollectable* prev = nullptr;
    for (SQCollectable* o = ss->_gcchain; o; o = o->_gcnext) {
        if (o->_gcprev != prev) {
            fprintf(stderr, "squirrel heap: broken chain link at %p\n", (void*)o);
            ++problems;
        }
        if (o->_marked) {
            fprintf(stderr, "squirrel heap: object %p still marked\n", (void*)o);
            ++problems;
        }
        if (o->_uiRef == 0 && o != ss->_root_vm) {
            fprintf(stderr, "squirrel heap: unreferenced %s %p alive\n", sqTypeName(o->objType()), (void*)o);
            ++problems;
        }
        if (o->_sharedstate != ss) {
            fprintf(stderr, "squirrel heap: object %p belongs to another VM\n", (void*)o);
            ++problems;
        }
        prev = o;
    }
    return problems;
}
