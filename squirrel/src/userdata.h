// Host memory blocks with an optional delegate table, type tag and release hook.
#ifndef SQUIRREL_SRC_USERDATA_H
#define SQUIRREL_SRC_USERDATA_H

#include "squirrel/src/object.h"
#include "squirrel/src/table.h"

struct SQUserData : SQCollectable {
    SQTable* _delegate = nullptr;
    SQUserPointer _typetag = nullptr;
    SQRELEASEHOOK _hook = nullptr;
    SQInteger _size = 0;
    alignas(16) unsigned char _val[1]; // _size bytes follow

    static SQUserData* create(SQSharedState* ss, SQInteger size);
    explicit SQUserData(SQSharedState* ss) : SQCollectable(ss) {}
    ~SQUserData() override;
    void destroy() override;
    void setDelegate(SQTable* d);
    void mark(SQCollector& c) override;
    void finalize() override;
    SQObjectType objType() const override { return OT_USERDATA; }
};

#endif
