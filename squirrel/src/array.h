// The array: a growable vector of values.
#ifndef SQUIRREL_SRC_ARRAY_H
#define SQUIRREL_SRC_ARRAY_H

#include "squirrel/src/object.h"

struct SQArray : SQCollectable {
    SQVector<SQObjectPtr> _values;

    static SQArray* create(SQSharedState* ss, SQInteger nsize);
    explicit SQArray(SQSharedState* ss) : SQCollectable(ss) {}
    SQInteger size() const { return (SQInteger)_values.size(); }
    // Element read through weak references; false if out of range.
    bool get(SQInteger idx, SQObjectPtr& val) const {
        if ((SQUnsignedInteger)idx >= _values.size()) return false;
        val = sqRealVal(_values[idx]);
        return true;
    }
    bool set(SQInteger idx, const SQObject& val) {
        if ((SQUnsignedInteger)idx >= _values.size()) return false;
        _values[idx] = val;
        return true;
    }
    void append(const SQObject& o);
    void resize(SQInteger n, const SQObject& fill);
    SQArray* clone() const;
    void mark(SQCollector& c) override;
    void finalize() override;
    SQObjectType objType() const override { return OT_ARRAY; }
};

#endif
