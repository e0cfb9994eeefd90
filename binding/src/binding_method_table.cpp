#include "binding/binding_method_table.h"

#include "script/script_host.h"

#include <algorithm>
#include <cstring>

namespace {

// Every table, so the host can drop their closures before the VM closes. Tables are static objects of their
// classes; the list is touched only on the main thread.
MethodTable* g_tables = nullptr;

bool nameBefore(const ScriptMethod& method, const char* name) {
    return std::strcmp(method.name, name) < 0;
}

} // namespace

namespace binding_detail {

SQInteger raiseWrongReceiver(HSQUIRRELVM v) {
    return sq_throwerror(v, "the method was called on a component of another class");
}

} // namespace binding_detail

MethodTable::MethodTable(std::initializer_list<ScriptMethod> methods) : m_methods(methods) {
    // std::strcmp compares as unsigned bytes: the byte-wise order of the lookup.
    std::sort(m_methods.begin(), m_methods.end(),
              [](const ScriptMethod& a, const ScriptMethod& b) { return std::strcmp(a.name, b.name) < 0; });
    m_next = g_tables;
    g_tables = this;
}

MethodTable::~MethodTable() {
    for (MethodTable** link = &g_tables; *link != nullptr; link = &(*link)->m_next) {
        if (*link == this) {
            *link = m_next;
            break;
        }
    }
}

bool MethodTable::contains(const char* name) const {
    auto at = std::lower_bound(m_methods.begin(), m_methods.end(), name, nameBefore);
    return at != m_methods.end() && std::strcmp(at->name, name) == 0;
}

bool MethodTable::find(const char* name, ScriptValue& closure) const {
    auto at = std::lower_bound(m_methods.begin(), m_methods.end(), name, nameBefore);
    if (at == m_methods.end() || std::strcmp(at->name, name) != 0) {
        return false;
    }
    if ((m_closures.empty() || m_generation != ScriptHost::generation()) && !build()) {
        return false;
    }
    closure = m_closures[static_cast<std::size_t>(at - m_methods.begin())];
    return true;
}

bool MethodTable::build() const {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr) {
        return false;
    }
    releaseClosures();
    m_closures.reserve(m_methods.size());
    SQInteger top = sq_gettop(v);
    for (const ScriptMethod& method : m_methods) {
        if (method.targetSize > 0) {
            void* data = sq_newuserdata(v, method.targetSize);
            std::memcpy(data, method.target, method.targetSize);
            sq_newclosure(v, method.dispatcher, 1);
        } else {
            sq_newclosure(v, method.dispatcher, 0);
        }
        sq_setnativeclosurename(v, -1, method.name);
        m_closures.push_back(ScriptValue::fromStack(-1));
        sq_settop(v, top);
    }
    m_generation = ScriptHost::generation();
    return true;
}

void MethodTable::releaseClosures() const {
    m_closures.clear();
}

void MethodTable::releaseAllClosures() {
    for (MethodTable* table = g_tables; table != nullptr; table = table->m_next) {
        table->releaseClosures();
    }
}
