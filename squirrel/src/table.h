// The table: a chained scatter hash table whose layout, growth and iteration order match the reference, so
// raw `foreach` order is the same as in 2.2.4 (nodes are walked from index 0 upwards).
#ifndef SQUIRREL_SRC_TABLE_H
#define SQUIRREL_SRC_TABLE_H

#include "squirrel/src/object.h"

struct SQTable : SQCollectable {
    struct Node {
        SQObjectPtr val;
        SQObjectPtr key;
        Node* next = nullptr;
    };
    Node* _nodes = nullptr;
    SQInteger _numofnodes = 0;
    SQInteger _usednodes = 0;
    Node* _firstfree = nullptr;
    SQTable* _delegate = nullptr;

    // A table with room for `ninitialsize` keys. Throws SQOutOfMemory.
    static SQTable* create(SQSharedState* ss, SQInteger ninitialsize);
    explicit SQTable(SQSharedState* ss) : SQCollectable(ss) {}
    ~SQTable() override;

    // Raw lookup of an own slot (no delegation). Weak references are returned as stored.
    Node* find(const SQObject& key) const;
    bool get(const SQObject& key, SQObjectPtr& val) const;
    // Assigns an existing own slot; false if the key is absent.
    bool set(const SQObject& key, const SQObject& val);
    // Creates or overwrites an own slot. Key must not be null.
    void newSlot(const SQObject& key, const SQObject& val);
    // Removes an own slot (no effect if absent).
    void remove(const SQObject& key);
    // Iteration over raw slots: from node index `from`, fills key/val of the next used node and returns the
    // index after it, or -1 at the end.
    SQInteger next(SQInteger from, SQObjectPtr& outkey, SQObjectPtr& outval) const;
    SQInteger countUsed() const { return _usednodes; }
    void clear();
    SQTable* clone() const;
    // False if `del` would create a delegate cycle.
    bool setDelegate(SQTable* del);

    void mark(SQCollector& c) override;
    void finalize() override;
    SQObjectType objType() const override { return OT_TABLE; }

private:
    void allocNodes(SQInteger size);
    void resetNodes();
    void rehash(bool force);
    Node* mainPosition(const SQObject& key) const;
};

SQHash sqHashKey(const SQObject& key);

#endif
