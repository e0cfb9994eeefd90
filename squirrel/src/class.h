// Classes and instances. A class keeps its members in a table mapping each name to a tagged index: fields
// (per-instance defaults) or methods/statics (shared in the class). Members are copied from the base at
// `extends`, so later additions to the base are not seen by the subclass.
#ifndef SQUIRREL_SRC_CLASS_H
#define SQUIRREL_SRC_CLASS_H

#include "squirrel/src/object.h"
#include "squirrel/src/table.h"

// Member index encoding stored as an integer in SQClass::_members.
constexpr SQInteger kMemberField = 0x02000000;  // index into _defaultvalues (instance field)
constexpr SQInteger kMemberMethod = 0x01000000; // index into _methods (methods and statics)
constexpr SQInteger kMemberIndexMask = 0x00FFFFFF;
inline bool sqIsField(SQInteger m) {
    return (m & kMemberField) != 0;
}

// The metamethods, in the reference's order.
enum SQMetaMethod {
    MT_ADD,
    MT_SUB,
    MT_MUL,
    MT_DIV,
    MT_MODULO,
    MT_UNM,
    MT_SET,
    MT_GET,
    MT_TYPEOF,
    MT_NEXTI,
    MT_CMP,
    MT_CALL,
    MT_CLONED,
    MT_NEWSLOT,
    MT_DELSLOT,
    MT_TOSTRING,
    MT_NEWMEMBER,
    MT_INHERITED,
    MT_LAST
};

struct SQClassMember {
    SQObjectPtr val;
    SQObjectPtr attrs;
};

struct SQClass : SQCollectable {
    SQClass* _base = nullptr;
    SQTable* _members = nullptr;
    SQVector<SQClassMember> _defaultvalues;
    SQVector<SQClassMember> _methods;
    SQObjectPtr _metamethods[MT_LAST];
    SQObjectPtr _attributes;
    SQUserPointer _typetag = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    bool _locked = false;
    SQInteger _udsize = 0;
    // Recent member lookups of instances by interned name. Once a class is locked (it has instances) a
    // name's member index never changes, and the member table keeps the name alive; finalize empties it.
    struct MemberCacheEntry {
        const SQString* key = nullptr;
        SQInteger m = 0;
    };
    static constexpr SQHash kMemberCacheSize = 32;
    mutable MemberCacheEntry _membercache[kMemberCacheSize];

    static SQClass* create(SQSharedState* ss, SQClass* base);
    explicit SQClass(SQSharedState* ss) : SQCollectable(ss) {}
    ~SQClass() override;
    // Adds or replaces a member (false if the class is locked). `bstatic` puts a non-function in the class.
    bool newSlot(SQSharedState* ss, const SQObjectPtr& key, const SQObjectPtr& val, bool bstatic);
    bool get(const SQObjectPtr& key, SQObjectPtr& val) const;
    bool setAttributes(const SQObjectPtr& key, const SQObjectPtr& val);
    bool getAttributes(const SQObjectPtr& key, SQObjectPtr& outval) const;
    void lock();
    SQInteger next(SQInteger from, SQObjectPtr& outkey, SQObjectPtr& outval) const;
    SQInstance* createInstance();
    // The tagged member index of `key` (kMemberField or kMemberMethod | index), or -1 if not a member.
    SQInteger memberIndex(const SQObject& key) const {
        if (key._type == OT_STRING) {
            const MemberCacheEntry& e = _membercache[key._unVal.pString->_hash & (kMemberCacheSize - 1)];
            if (e.key == key._unVal.pString) return e.m;
        }
        return memberIndexSlow(key);
    }
    SQInteger memberIndexSlow(const SQObject& key) const;
    void mark(SQCollector& c) override;
    void finalize() override;
    SQObjectType objType() const override { return OT_CLASS; }
};

struct SQInstance : SQCollectable {
    SQClass* _class = nullptr;
    SQUserPointer _userpointer = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    SQInteger _memsize = 0; // bytes of trailing user memory (class udsize)
    SQVector<SQObjectPtr> _values;

    explicit SQInstance(SQSharedState* ss) : SQCollectable(ss) {}
    ~SQInstance() override;
    bool get(const SQObjectPtr& key, SQObjectPtr& val) const;
    bool set(const SQObjectPtr& key, const SQObjectPtr& val);
    // Where member `key` lives: the instance's field or the class's method or static; nullptr if the class
    // has no such member. Weak references are returned as stored.
    const SQObjectPtr* memberSlot(const SQObject& key) const {
        SQInteger m = _class->memberIndex(key);
        if (m < 0) return nullptr;
        return sqIsField(m) ? &_values[m & kMemberIndexMask] : &_class->_methods[m & kMemberIndexMask].val;
    }
    // The instance's own field `key`, or nullptr (absent, or a method or static of the class).
    SQObjectPtr* fieldSlot(const SQObject& key) {
        SQInteger m = _class->memberIndex(key);
        if (m < 0 || !sqIsField(m)) return nullptr;
        return &_values[m & kMemberIndexMask];
    }
    bool instanceOf(const SQClass* c) const;
    SQInstance* clone(SQSharedState* ss) const;
    const SQObjectPtr* getMetaMethod(SQMetaMethod mm) const {
        return sq_type(_class->_metamethods[mm]) != OT_NULL ? &_class->_metamethods[mm] : nullptr;
    }
    void destroy() override;
    void mark(SQCollector& c) override;
    void finalize() override;
    SQObjectType objType() const override { return OT_INSTANCE; }
};

#endif
