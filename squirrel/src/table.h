// The table: a chained scatter hash table whose layout, growth and iteration order match the reference, so
// raw `foreach` order is the same as in 2.2.4 (nodes are walked from index 0 upwards).
#ifndef SQUIRREL_SRC_TABLE_H
#define SQUIRREL_SRC_TABLE_H

#include "squirrel/src/object.h"

inline SQHash sqHashKey(const SQObject& key) {
    // the common keys first, without the switch's indirect jump
    if (key._type == OT_STRING) return key._unVal.pString->_hash;
    if (key._type == OT_INTEGER) return (SQHash)key._unVal.nInteger;
    switch (key._type) {
    case OT_FLOAT:
        return (SQHash)(SQInteger)key._unVal.fFloat;
    case OT_BOOL:
        return (SQHash)key._unVal.nInteger;
    default:
        return (SQHash)(((uintptr_t)key._unVal.pRefCounted) >> 3);
    }
}

// Keys are the same slot when type and payload word match (strings are interned).
inline bool sqSameTableKey(const SQObject& a, const SQObject& b) {
    return a._type == b._type && a._unVal.pRefCounted == b._unVal.pRefCounted;
}

struct SQTable : SQCollectable {
    // 32 bytes, two to a cache line: the key is kept as its two words (holding a reference like an
    // SQObjectPtr, managed by the table) with the chain's link in the spare half of its type word.
    struct Node {
        SQObjectPtr val;
        SQObjectType keytype = OT_NULL;
        int32_t link = 0; // bytes from this node to the next of its chain; 0 ends it
        SQObjectValue keyval;
        Node() { keyval.pRefCounted = nullptr; }
        SQObject key() const {
            SQObject k;
            k._type = keytype;
            k._unVal = keyval;
            return k;
        }
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
    SQ_ALWAYS_INLINE Node* find(const SQObject& key) const {
        if (key._type == OT_STRING) return findString(key._unVal.pString);
        if (key._type == OT_INTEGER) {
            Node* n = &_nodes[(SQHash)key._unVal.nInteger & (_numofnodes - 1)];
            for (;;) {
                if (n->keytype == OT_INTEGER && n->keyval.nInteger == key._unVal.nInteger) return n;
                if (!n->link) return nullptr;
                n = chained(n);
            }
        }
        return findOther(key);
    }
    // The same for a string key (fields, methods, globals): no dispatch on the key's type.
    SQ_ALWAYS_INLINE Node* findString(const SQString* key) const {
        Node* n = &_nodes[key->_hash & (_numofnodes - 1)];
        for (;;) {
            if (n->keyval.pString == key && n->keytype == OT_STRING) return n;
            if (!n->link) return nullptr;
            n = chained(n);
        }
    }
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
    // find() for keys neither strings nor integers
    Node* findOther(const SQObject& key) const;
    void allocNodes(SQInteger size);
    void resetNodes();
    void rehash(bool force);
    // Places a key that is not in the table yet.
    void insertNew(const SQObject& key, const SQObject& val);
    Node* mainPosition(const SQObject& key) const { return &_nodes[sqHashKey(key) & (_numofnodes - 1)]; }
    // A table holds at most kMaxNodes nodes, so a link (a byte distance) fits its 32 bits.
    static constexpr SQInteger kMaxNodes = SQInteger(1) << 26;
    static Node* chained(const Node* n) {
        return reinterpret_cast<Node*>(reinterpret_cast<char*>(const_cast<Node*>(n)) + n->link);
    }
    static Node* nextOf(const Node* n) { return n->link ? chained(n) : nullptr; }
    static int32_t linkFrom(const Node* from, const Node* to) {
        return (int32_t)(reinterpret_cast<const char*>(to) - reinterpret_cast<const char*>(from));
    }
    // Empties a node's key (the node stays consistent before the old key is released, as Null() does).
    static void clearKey(Node* n) {
        SQObjectType t = n->keytype;
        SQObjectValue v = n->keyval;
        n->keytype = OT_NULL;
        n->keyval.pRefCounted = nullptr;
        sqRelease(t, v);
    }
    static void destroyNode(Node* n) {
        clearKey(n);
        n->~Node();
    }
};

#endif
