#pragma once
// Small components for the component-model tests: a leaf that records what happens to it and a
// named group built on ComponentGroupBase.

#include <string>
#include <vector>

#include "component/classifiable_base.h"
#include "component/component_group.h"
#include "component/frame_interfaces.h"
#include "component/script_interfaces.h"
#include "platform/kd.h"

// Names of leaves in the order their Shutdown ran (cleared by each test that reads it).
inline std::vector<std::string> g_shutdownOrder;
inline int g_destroyedLeaves = 0;

class Leaf final : public IVisible, public ClassifiableBase, public IShutdownable, public IGroupMember {
public:
    explicit Leaf(std::string name = "leaf") : m_name(std::move(name)) {}

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IVisible, IClassifiable, IShutdownable, IGroupMember>(this, id);
    }

    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() override { return m_visible; }
    void Shutdown() override { g_shutdownOrder.push_back(m_name); }
    void SetParent(IAbstract* group) override { parent = group; }

    IAbstract* parent = nullptr;
    // The count a destructor saw after trying to take a reference.
    static inline std::int32_t s_countSeenByDestructor = -1;

private:
    ~Leaf() override {
        // A reference taken during destruction must not revive the object.
        AddRef();
        s_countSeenByDestructor = refCount();
        ++g_destroyedLeaves;
    }

    std::string m_name;
    bool m_visible = true;
};

class Group final : public ComponentGroupBase<>, public IScriptObject {
public:
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IComponentGroup, IShutdownable, IScriptObject>(this, id);
    }

    bool GetMember(const char*, ScriptValue&) override { return false; }
    bool SetMember(const char*, const ScriptValue&) override { return false; }
    const char* GetTypeName() override { return "TestGroup"; }
};

// Collects the log lines written while it lives.
class LogCapture {
public:
    LogCapture() { kdSetLogHook(&LogCapture::receive, this); }
    ~LogCapture() { kdSetLogHook(nullptr, nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines;

private:
    static void receive(const KDchar* text, void* user) {
        static_cast<LogCapture*>(user)->lines.emplace_back(text);
    }
};
