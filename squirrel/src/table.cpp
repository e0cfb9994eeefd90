// Chained scatter table. A key lives in its main position (hash & (size-1)) unless that node is taken; then
// it goes to a free node found by _firstfree, which only moves downwards. When no free node is left the table
// is rebuilt (grown, shrunk or kept) and the old nodes are reinserted in index order. This reproduces the
// reference's slot order, which scripts observe through raw iteration.
#include "squirrel/src/table.h"

#include "squirrel/src/collector.h"

static_assert(sizeof(void*) != 8 || sizeof(SQTable::Node) == 32, "two nodes to a cache line");

SQTable* SQTable::create(SQSharedState* ss, SQInteger ninitialsize) {
    SQTable* t = new SQTable(ss);
    SQInteger pow2size = 4;
    while (ninitialsize > pow2size) pow2size <<= 1;
    try {
        t->allocNodes(pow2size);
    } catch (...) {
        delete t;
        throw;
    }
    return t;
}

SQTable::~SQTable() {
    if (_nodes) {
        for (SQInteger i = 0; i < _numofnodes; ++i) destroyNode(&_nodes[i]);
        sqFree(_nodes, sizeof(Node) * _numofnodes);
    }
}

void SQTable::allocNodes(SQInteger size) {
    if (size > kMaxNodes) throw SQOutOfMemory{};
    Node* nodes = static_cast<Node*>(sqAllocLines(sizeof(Node) * size));
    for (SQInteger i = 0; i < size; ++i) new (&nodes[i]) Node();
    _nodes = nodes;
    _numofnodes = size;
    _firstfree = &_nodes[size - 1];
}

SQTable::Node* SQTable::findOther(const SQObject& key) const {
    if (key._type == OT_NULL) return nullptr;
    Node* n = mainPosition(key);
    for (;;) {
        if (n->keytype == key._type && n->keyval.pRefCounted == key._unVal.pRefCounted) return n;
        if (!n->link) return nullptr;
        n = chained(n);
    }
}

bool SQTable::get(const SQObject& key, SQObjectPtr& val) const {
    Node* n = find(key);
    if (!n) return false;
    val = sqRealVal(n->val);
    return true;
}

bool SQTable::set(const SQObject& key, const SQObject& val) {
    Node* n = find(key);
    if (!n) return false;
    n->val = val;
    return true;
}

void SQTable::rehash(bool force) {
    SQInteger oldsize = _numofnodes;
    if (oldsize < 4) oldsize = 4;
    Node* nold = _nodes;
    SQInteger nelems = _usednodes;
    SQInteger newsize;
    if (nelems >= oldsize - oldsize / 4)
        newsize = oldsize * 2;
    else if (nelems <= oldsize / 4 && oldsize > 4)
        newsize = oldsize / 2;
    else if (force)
        newsize = oldsize;
    else
        return;
    allocNodes(newsize); // on failure the old nodes stay in place
    _usednodes = 0;
    // The keys are distinct: each goes straight to its place without a lookup.
    for (SQInteger i = 0; i < oldsize; ++i) {
        Node* old = &nold[i];
        if (old->keytype != OT_NULL) insertNew(old->key(), old->val);
    }
    for (SQInteger i = 0; i < oldsize; ++i) destroyNode(&nold[i]);
    sqFree(nold, sizeof(Node) * oldsize);
}

void SQTable::newSlot(const SQObject& key, const SQObject& val) {
    if (Node* n = find(key)) {
        n->val = val;
        return;
    }
    insertNew(key, val);
}

void SQTable::insertNew(const SQObject& key, const SQObject& val) {
    Node* mp = mainPosition(key);
    if (mp->keytype != OT_NULL) {
        if (_firstfree->keytype != OT_NULL || _firstfree->link) {
            // only after a rebuild ran out of memory: rebuild now, before anything is changed
            rehash(true);
            insertNew(key, val);
            return;
        }
        Node* n = _firstfree;
        Node* othern = mainPosition(mp->key());
        if (othern != mp) {
            // The occupant is not in its own main position: move it to the free node.
            while (nextOf(othern) != mp) othern = nextOf(othern);
            othern->link = linkFrom(othern, n);
            n->keytype = mp->keytype; // the reference moves with the key
            n->keyval = mp->keyval;
            mp->keytype = OT_NULL;
            mp->keyval.pRefCounted = nullptr;
            n->val = std::move(mp->val);
            n->link = mp->link ? linkFrom(n, chained(mp)) : 0;
            mp->val.Null();
            mp->link = 0;
        } else {
            n->link = mp->link ? linkFrom(n, chained(mp)) : 0;
            mp->link = linkFrom(mp, n);
            mp = n;
        }
    }
    sqAddRef(key); // the node was empty: no old key to release
    mp->keytype = key._type;
    mp->keyval = key._unVal;
    mp->val = val;
    ++_usednodes;
    for (;;) {
        if (_firstfree->keytype == OT_NULL && _firstfree->link == 0) return;
        if (_firstfree == _nodes) break;
        --_firstfree;
    }
    rehash(true);
}

void SQTable::remove(const SQObject& key) {
    Node* n = find(key);
    if (!n) return;
    // Keep chains intact: a removed node never stays linked, so it can be reused as a free node.
    Node* mp = mainPosition(key);
    if (mp == n) {
        if (Node* nx = nextOf(n)) {
            // the next key moves in, then the removed one is released (as a move assignment would)
            SQObjectType oldt = n->keytype;
            SQObjectValue oldv = n->keyval;
            n->keytype = nx->keytype;
            n->keyval = nx->keyval;
            nx->keytype = OT_NULL;
            nx->keyval.pRefCounted = nullptr;
            sqRelease(oldt, oldv);
            n->val = std::move(nx->val);
            n->link = nx->link ? linkFrom(n, chained(nx)) : 0;
            nx->val.Null();
            nx->link = 0;
        } else {
            clearKey(n);
            n->val.Null();
        }
    } else {
        Node* prev = mp;
        while (nextOf(prev) != n) prev = nextOf(prev);
        prev->link = n->link ? linkFrom(prev, chained(n)) : 0;
        n->link = 0;
        clearKey(n);
        n->val.Null();
    }
    --_usednodes;
    rehash(false);
}

SQInteger SQTable::next(SQInteger from, SQObjectPtr& outkey, SQObjectPtr& outval) const {
    for (SQInteger i = from; i < _numofnodes; ++i) {
        if (_nodes[i].keytype != OT_NULL) {
            outkey = _nodes[i].key();
            outval = sqRealVal(_nodes[i].val);
            return i + 1;
        }
    }
    return -1;
}

void SQTable::resetNodes() {
    for (SQInteger i = 0; i < _numofnodes; ++i) {
        clearKey(&_nodes[i]);
        _nodes[i].val.Null();
        _nodes[i].link = 0;
    }
    _usednodes = 0;
    _firstfree = &_nodes[_numofnodes - 1];
}

void SQTable::clear() {
    resetNodes();
    rehash(true);
}

SQTable* SQTable::clone() const {
    SQTable* nt = create(_sharedstate, _numofnodes);
    try {
        for (SQInteger i = 0; i < _numofnodes; ++i)
            if (_nodes[i].keytype != OT_NULL) nt->newSlot(_nodes[i].key(), _nodes[i].val);
    } catch (...) {
        delete nt;
        throw;
    }
    nt->setDelegate(_delegate);
    return nt;
}

bool SQTable::setDelegate(SQTable* del) {
    for (SQTable* d = del; d; d = d->_delegate)
        if (d == this) return false;
    if (del) ++del->_uiRef;
    SQTable* old = _delegate;
    _delegate = del;
    if (old && --old->_uiRef == 0) old->release();
    return true;
}

void SQTable::mark(SQCollector& c) {
    if (_delegate) c.markObject(SQObjectPtr(_delegate));
    for (SQInteger i = 0; i < _numofnodes; ++i) {
        c.markObject(_nodes[i].key());
        c.markObject(_nodes[i].val);
    }
}

void SQTable::finalize() {
    resetNodes();
    setDelegate(nullptr);
}
