// State shared by a VM and all its threads: the string table, the collector chain, the registry, the const
// table, the default delegates and the host callbacks.
#ifndef SQUIRREL_SRC_SHARED_STATE_H
#define SQUIRREL_SRC_SHARED_STATE_H

#include "squirrel/src/class.h"
#include "squirrel/src/object.h"
#include "squirrel/src/table.h"

class SQStringTable {
public:
    SQStringTable();
    ~SQStringTable();
    SQString* add(SQSharedState* ss, const SQChar* s, SQInteger len);
    void remove(SQString* s);

private:
    void resize(SQUnsignedInteger size);
    SQString** m_strings = nullptr;
    SQUnsignedInteger m_numofslots = 0;
    SQUnsignedInteger m_slotused = 0;
};

struct SQSharedState : SQAllocated {
    SQSharedState();
    ~SQSharedState();
    // Creates the tables and default delegates (may throw SQOutOfMemory).
    void init(SQVM* rootvm);

    SQStringTable _stringtable;
    SQCollectable* _gcchain = nullptr;
    SQObjectPtr _registry;
    SQObjectPtr _consts;
    SQObjectPtr _metamethodsmap; // name -> SQMetaMethod index
    SQObjectPtr _metamethodnames[MT_LAST];
    SQObjectPtr _refs; // table: pinned object -> pin count (sq_addref)
    SQObjectPtr _table_default_delegate, _array_default_delegate, _string_default_delegate,
        _number_default_delegate, _closure_default_delegate, _generator_default_delegate,
        _thread_default_delegate, _class_default_delegate, _instance_default_delegate,
        _weakref_default_delegate;
    SQObjectPtr _constructoridx; // "constructor"
    SQObjectPtr _oomerror;       // preallocated "out of memory"
    SQVM* _root_vm = nullptr;
    SQCOMPILERERROR _compilererrorhandler = nullptr;
    SQPRINTFUNCTION _printfunc = nullptr;
    bool _debuginfo = false;
    bool _notifyallexceptions = false;
    SQChar* _scratchpad = nullptr;
    SQInteger _scratchpadsize = 0;
    bool _collecting = false;

    SQChar* getScratchPad(SQInteger size);
    // The default delegate table of a type, or nullptr (null and user pointers have none).
    SQTable* defaultDelegate(SQObjectType t) const;
    // SQMetaMethod index of a metamethod name, or -1.
    SQInteger metaMethodIndex(const SQObjectPtr& name) const;
};

// Default delegate tables, built from the registration lists in default_delegates.cpp.
SQObjectPtr sqCreateDefaultDelegate(SQSharedState* ss, const SQRegFunction* funcs);
extern const SQRegFunction g_table_default_delegate_funcz[];
extern const SQRegFunction g_array_default_delegate_funcz[];
extern const SQRegFunction g_string_default_delegate_funcz[];
extern const SQRegFunction g_number_default_delegate_funcz[];
extern const SQRegFunction g_closure_default_delegate_funcz[];
extern const SQRegFunction g_generator_default_delegate_funcz[];
extern const SQRegFunction g_thread_default_delegate_funcz[];
extern const SQRegFunction g_class_default_delegate_funcz[];
extern const SQRegFunction g_instance_default_delegate_funcz[];
extern const SQRegFunction g_weakref_default_delegate_funcz[];

#endif
