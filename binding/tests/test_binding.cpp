// The `Component` class and component methods through real scripts: handle identity and reference counts,
// member lookup with the script extension before native methods, group parts through _get/_set/foreach, the
// argument conversion table and the registration limits.
#include "test_binding_vm.h"

#include "binding/binding_script_object.h"
#include "component/component_group.h"
#include "component/script_interfaces.h"
#include "math/rect.h"
#include "math/vector2.h"

#include <string>
#include <vector>

namespace {

// A component with a method of every argument and result kind.
class Probe final : public ScriptObjectBase<Probe>, public IScriptLoadable {
public:
    static constexpr char ScriptTypeName[] = "Probe";

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IScriptObject, IScriptLoadable>(this, id);
    }
    bool LoadFromScript(const ScriptValue& value) override { return scriptExtension().attach(this, value); }

    std::int32_t Twice(std::int32_t x) { return 2 * x; }
    float Half(float x) const { return x / 2.0f; }
    bool Truth(bool b) { return b; }
    std::string Echo(const char* text) { return std::string("<") + text + ">"; }
    Vector2 Offset(const Vector2& v) {
        ++calls;
        return {v.x + 1.0f, v.y + 1.0f};
    }
    void Store(std::int32_t value) { stored = value; }
    IAbstract* Self() { return this; }
    // Whether the argument is a component with IScriptObject (null otherwise).
    bool IsScriptable(IScriptObject* other) { return other != nullptr; }

    static const MethodTable& scriptMethods();

    int calls = 0;
    std::int32_t stored = 0;
};

// Script-only helper bound as a free function taking the object first.
std::int32_t storedPlus(Probe& probe, std::int32_t add) {
    return probe.stored + add;
}

const MethodTable& Probe::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Probe>("Twice", &Probe::Twice),
        scriptMethod<Probe>("Half", &Probe::Half),
        scriptMethod<Probe>("Truth", &Probe::Truth),
        scriptMethod<Probe>("Echo", &Probe::Echo),
        scriptMethod<Probe>("Offset", &Probe::Offset),
        scriptMethod<Probe>("Store", &Probe::Store),
        scriptMethod<Probe>("Self", &Probe::Self),
        scriptMethod<Probe>("IsScriptable", &Probe::IsScriptable),
        scriptMethod<Probe>("StoredPlus", &storedPlus),
        scriptMethodRaw("ArgumentCount",
                        [](HSQUIRRELVM v) -> SQInteger {
                            sq_pushinteger(v, componentReceiver<Probe>(v, 1) ? sq_gettop(v) - 1 : -1);
                            return 1;
                        }),
    };
    return table;
}

// A named group with one native method.
class Folder final : public ComponentGroupBase<>, public ScriptObjectBase<Folder> {
public:
    static constexpr char ScriptTypeName[] = "Folder";

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IComponentGroup, IShutdownable, IScriptObject>(this, id);
    }
    std::int32_t Count() { return static_cast<std::int32_t>(GetObjectMap().size()); }

    static const MethodTable& scriptMethods() {
        static const MethodTable table{scriptMethod<Folder>("Count", &Folder::Count)};
        return table;
    }
};

template <class T> ComponentRef<T> make() {
    return ComponentRef<T>::adopt(new T());
}

class ComponentBindingTest : public BindingTest {
protected:
    // Puts a handle of the component in the root table under name.
    void share(const char* name, IAbstract* component) {
        pushComponent(vm(), component);
        setRoot(name, ScriptValue::fromStack(-1));
        sq_pop(vm(), 1);
    }
    void drop(const char* name) { run(std::string("delete ::") + name + ";"); }
};

TEST_F(ComponentBindingTest, PushingAComponentTwiceGivesTheSameHandle) {
    auto probe = make<Probe>();
    share("a", probe.get());
    share("b", probe.get());
    EXPECT_EQ(probe->refCount(), 2); // ours and the one handle's
    EXPECT_EQ(eval("a == b"), "true");
    EXPECT_EQ(eval("a.Self() == a"), "true");
    EXPECT_EQ(eval("typeof a"), "Probe");
    EXPECT_EQ(eval("a.tostring().find(\"(component : 0x\") == 0"), "true");

    drop("a");
    drop("b");
    collect();
    EXPECT_EQ(probe->refCount(), 1);
    EXPECT_EQ(probe->scriptInstance(), nullptr);

    // A new push after the old handle went makes a new one.
    share("c", probe.get());
    EXPECT_EQ(probe->refCount(), 2);
    drop("c");
    EXPECT_EQ(probe->refCount(), 1);
}

TEST_F(ComponentBindingTest, HandlesReleaseTheirComponentWhenTheVmCloses) {
    auto probe = make<Probe>();
    share("kept", probe.get());
    run("cycle <- {}; cycle.self <- cycle; cycle.probe <- kept; clone kept;");
    EXPECT_EQ(probe->refCount(), 2);
    ScriptHost::destroy();
    EXPECT_EQ(probe->refCount(), 1);
    EXPECT_EQ(probe->scriptInstance(), nullptr);
    const char* arguments[] = {"harborhaven"};
    ScriptHost::create(1, arguments); // for TearDown
}

TEST_F(ComponentBindingTest, ClonesHoldTheirOwnReference) {
    auto probe = make<Probe>();
    share("p", probe.get());
    run("q <- clone p;");
    EXPECT_EQ(probe->refCount(), 3);
    EXPECT_EQ(eval("q.Twice(4)"), "8");
    EXPECT_EQ(eval("(q <= p) && (q >= p)"), "true");
    drop("q");
    collect();
    EXPECT_EQ(probe->refCount(), 2);
    // The clone's release left the original handle remembered.
    share("again", probe.get());
    EXPECT_EQ(eval("again == p"), "true");
    drop("p");
    drop("again");
    EXPECT_EQ(probe->refCount(), 1);
}

TEST_F(ComponentBindingTest, MetamethodsCalledOnForeignObjectsChangeNothing) {
    auto probe = make<Probe>();
    share("p", probe.get());
    run("v <- Vector2(1, 2);");
    EXPECT_EQ(eval("Vector2.constructor.call(p, 5, 6)"), "<error>");
    EXPECT_EQ(eval("Vector2._cloned.call(p, v)"), "<error>");
    EXPECT_EQ(eval("Component._cloned.call(v, p)"), "<error>");
    EXPECT_EQ(eval("p.Twice(2)"), "4");
    EXPECT_EQ(eval("v"), "Vector2(1.000000, 2.000000)");
    EXPECT_EQ(probe->refCount(), 2);
}

TEST_F(ComponentBindingTest, CompareOrdersByFullAddress) {
    auto first = make<Probe>();
    auto second = make<Probe>();
    share("x", first.get());
    share("y", second.get());
    // _cmp answers the sign of (second - first) for x._cmp(y).
    bool firstLower = std::less<IAbstract*>()(first.get(), second.get());
    EXPECT_EQ(eval("x > y"), firstLower ? "true" : "false");
    EXPECT_EQ(eval("x < y"), firstLower ? "false" : "true");
    EXPECT_EQ(eval("x <= x"), "true");
    EXPECT_EQ(eval("Component() <= Component()"), "true");
}

TEST_F(ComponentBindingTest, AnEmptyHandleHasNoTypeAndNoMembers) {
    EXPECT_EQ(eval("typeof Component()"), "<error>");
    EXPECT_EQ(eval("Component().Twice(1)"), "<error>");
    EXPECT_NE(takeLog().find("does not exist"), std::string::npos);
    EXPECT_EQ(eval("Component().tostring()"), "(component : (nil))");
}

struct ConversionCase {
    const char* call; // on the handle `p`
    const char* result;
    const char* message; // expected in the log, or "" for none
};

const ConversionCase kConversions[] = {
    {"p.Twice(3)", "6", ""},
    {"p.Twice(3.99)", "6", ""},
    {"p.Twice(-3.99)", "-6", ""},
    {"p.Twice(\"x\")", "0", "sq_get*() failed (type error)"},
    {"p.Twice(null)", "0", "sq_get*() failed (type error)"},
    {"p.Half(3)", "1.5", ""},
    {"p.Half(5.0)", "2.5", ""},
    {"p.Half(true)", "0", "sq_get*() failed (type error)"},
    {"p.Truth(null)", "false", ""},
    {"p.Truth(false)", "false", ""},
    {"p.Truth(0)", "false", ""},
    {"p.Truth(0.0)", "false", ""},
    {"p.Truth(2)", "true", ""},
    {"p.Truth(0.5)", "true", ""},
    {"p.Truth(\"text\")", "true", ""},
    {"p.Truth([])", "true", ""},
    {"p.Echo(\"abc\")", "<abc>", ""},
    {"p.Echo(5)", "<>", "sq_get*() failed (type error)"},
    {"p.Offset(Vector2(1, 2))", "Vector2(2.000000, 3.000000)", ""},
    {"p.Offset(Vector3(1, 2, 3))", "null", "GetInstance: Invalid argument type"},
    {"p.IsScriptable(p)", "true", ""},
    {"p.IsScriptable(Component())", "false", ""},
    {"p.IsScriptable(7)", "false", ""},
    {"(function() { p.Store(41); return p.StoredPlus(1) })()", "42", ""},
    {"p.ArgumentCount(1, 2, 3)", "3", ""},
    {"p.Twice()", "<error>", "wrong number of parameters"},
    {"p.Twice(1, 2)", "2", ""},
};

TEST_F(ComponentBindingTest, ArgumentsAreConvertedByTheTable) {
    auto probe = make<Probe>();
    share("p", probe.get());
    for (const ConversionCase& c : kConversions) {
        EXPECT_EQ(eval(c.call), c.result) << c.call;
        std::string log = takeLog();
        if (*c.message == '\0') {
            EXPECT_EQ(log, "") << c.call;
        } else {
            EXPECT_NE(log.find(c.message), std::string::npos) << c.call << "\n" << log;
        }
    }
    // A mistyped value-class argument stops the call.
    EXPECT_EQ(probe->calls, 1);
}

TEST_F(ComponentBindingTest, AMethodOfAnotherClassRaisesAnError) {
    auto probe = make<Probe>();
    auto folder = make<Folder>();
    share("p", probe.get());
    share("f", folder.get());
    EXPECT_EQ(eval("p.Twice.call(f, 2)"), "<error>");
    EXPECT_NE(takeLog().find("another class"), std::string::npos);
    EXPECT_EQ(eval("p.Twice.call({}, 2)"), "<error>");
}

TEST_F(ComponentBindingTest, ScriptExtensionMembersHideNativeMethods) {
    auto probe = make<Probe>();
    share("p", probe.get());
    run("class Extension { constructor() { ::constructed <- this; } function Twice(x) { return \"script \" + "
        "x; } "
        "tag = 7; }");
    ASSERT_TRUE(probe->LoadFromScript(ScriptHost::getSlot(ScriptHost::root(), "Extension")));
    EXPECT_EQ(eval("constructed == p"), "true"); // the constructor ran with the component as `this`
    EXPECT_EQ(eval("p.Twice(2)"), "script 2");
    EXPECT_EQ(eval("p.Half(3)"), "1.5"); // not defined by the script: the native method
    EXPECT_EQ(eval("p.tag"), "7");
    run("p.tag = 9;");
    EXPECT_EQ(eval("p.tag"), "9");
    EXPECT_EQ(eval("p.missing"), "<error>");
    EXPECT_NE(takeLog().find("the index 'missing' does not exist"), std::string::npos);

    // A table extension takes new members.
    run("p2table <- { Echo = function(t) { return \"table \" + t; } };");
    auto other = make<Probe>();
    share("p2", other.get());
    ASSERT_TRUE(other->LoadFromScript(ScriptHost::getSlot(ScriptHost::root(), "p2table")));
    EXPECT_EQ(eval("p2.Echo(\"x\")"), "table x");
    run("p2.added = 6;");
    EXPECT_EQ(eval("p2table.added"), "6");

    // Values that are no script object are refused.
    EXPECT_FALSE(other->LoadFromScript(ScriptValue::fromInt(3)));
    EXPECT_FALSE(other->LoadFromScript(ScriptValue()));
    EXPECT_EQ(eval("p2.Echo(\"y\")"), "table y");

    probe->scriptExtension().shutdown();
    EXPECT_EQ(eval("p.Twice(2)"), "4");
}

TEST_F(ComponentBindingTest, GroupPartsAreReadAssignedAndIterated) {
    auto folder = make<Folder>();
    auto inner = make<Folder>();
    auto a = make<Probe>();
    auto b = make<Probe>();
    auto deep = make<Probe>();
    folder->RegisterObject("b", b.get());
    folder->RegisterObject("a", a.get());
    inner->RegisterObject("deep", deep.get());
    share("g", folder.get());
    share("pa", a.get());
    share("inner", inner.get());

    EXPECT_EQ(eval("g.a == pa"), "true");
    EXPECT_EQ(eval("g.Count()"), "2"); // a native method comes before a part
    EXPECT_EQ(eval("g.nothing"), "<error>");
    takeLog();

    run("g.c = inner;");
    EXPECT_EQ(folder->GetObjectMap().size(), 3u);
    EXPECT_EQ(eval("g.deep.Twice(5)"), "10"); // found depth-first through the nested group
    EXPECT_EQ(eval("(function() { local s = \"\"; foreach (id, part in g) s += id + (typeof part) + \";\"; "
                   "return s })()"),
              "aProbe;bProbe;cFolder;");
    run("g.a = null;");
    EXPECT_EQ(folder->GetObjectMap().size(), 2u);
    EXPECT_EQ(a->refCount(), 2);                               // ours and pa's
    EXPECT_EQ(eval("(function() { g.b = 5; })()"), "<error>"); // neither a handle nor null
    EXPECT_EQ(folder->GetObjectMap().size(), 2u);

    // Parts unregistered during the walk do not stop it.
    EXPECT_EQ(
        eval(
            "(function() { local s = \"\"; foreach (id, part in g) { s += id; g[id] = null; } return s })()"),
        "bc");
    EXPECT_EQ(folder->GetObjectMap().size(), 0u);
    EXPECT_EQ(eval("(function() { local n = 0; foreach (id, part in g) ++n; return n })()"), "0");
    run("g.b = pa; g.c = inner;");

    // A group cannot become a part of itself.
    EXPECT_EQ(eval("(function() { inner.loop = g; })()"), "<error>");
    EXPECT_NE(takeLog().find("cannot contain itself"), std::string::npos);

    // A component that is no group cannot be iterated nor take parts.
    EXPECT_EQ(eval("(function() { foreach (k, v in pa) {} })()"), "<error>");
    EXPECT_EQ(eval("(function() { pa.part = g; })()"), "<error>");
    folder->Shutdown();
    inner->Shutdown();
}

TEST_F(ComponentBindingTest, NonStringKeysAreRefused) {
    auto folder = make<Folder>();
    share("g", folder.get());
    EXPECT_EQ(eval("g[1]"), "<error>");
    EXPECT_EQ(eval("(function() { g[1] = g; })()"), "<error>");
    EXPECT_EQ(folder->GetObjectMap().size(), 0u);
    EXPECT_EQ(eval("Component._get.call(g, 1)"), "<error>");
    EXPECT_NE(takeLog().find("wrong argument type, expected 'string' got '1'"), std::string::npos);
}

TEST_F(ComponentBindingTest, TypeMaskLengthIsLimited) {
    HSQUIRRELVM v = vm();
    auto noop = [](HSQUIRRELVM) -> SQInteger { return 0; };
    std::string accepted(58, '.');
    std::string refused(59, '.');
    sq_pushroottable(v);
    EXPECT_TRUE(createFunction(v, -1, "fine", noop, accepted.c_str()));
    EXPECT_EQ(takeLog(), "");
    EXPECT_FALSE(createFunction(v, -1, "tooLong", noop, refused.c_str()));
    EXPECT_EQ(takeLog(), "error: CreateFunction: typeMask string too long.\n");
    sq_pop(v, 1);
    EXPECT_EQ(eval("typeof fine"), "function");
    EXPECT_EQ(eval("\"tooLong\" in getroottable()"), "false");

    // Without a mask the function takes exactly its receiver; with "*" anything.
    sq_pushroottable(v);
    EXPECT_TRUE(createFunction(v, -1, "receiverOnly", noop));
    EXPECT_TRUE(createFunction(v, -1, "anything", noop, "*"));
    EXPECT_TRUE(createFunction(v, -1, "oneInteger", noop, "i"));
    sq_pop(v, 1);
    EXPECT_EQ(eval("receiverOnly()"), "null");
    EXPECT_EQ(eval("receiverOnly(1)"), "<error>");
    EXPECT_EQ(eval("anything(1, \"two\", [])"), "null");
    EXPECT_EQ(eval("oneInteger(1)"), "null");
    EXPECT_EQ(eval("oneInteger(\"one\")"), "<error>");
}

TEST_F(ComponentBindingTest, PushWithoutTheComponentClassIsReported) {
    auto probe = make<Probe>();
    run("Component <- null;");
    pushComponent(vm(), probe.get());
    EXPECT_EQ(sq_gettype(vm(), -1), OT_NULL);
    sq_pop(vm(), 1);
    EXPECT_EQ(takeLog(), "error: Push(): could not create INSTANCE (check registration name)\n");
    EXPECT_EQ(probe->refCount(), 1);
}

TEST_F(ComponentBindingTest, GlobalFunctionsAreBoundByPointer) {
    HSQUIRRELVM v = vm();
    sq_pushroottable(v);
    ASSERT_TRUE(bindFunction(
        v, -1, "scale", +[](const Vector2& p, float s) { return p * s; }));
    ASSERT_TRUE(bindFunction(
        v, -1, "isProbe",
        +[](IScriptObject* o) { return o != nullptr && std::string(o->GetTypeName()) == "Probe"; }));
    sq_pop(v, 1);
    auto probe = make<Probe>();
    share("p", probe.get());
    EXPECT_EQ(eval("scale(Vector2(1, 2), 3)"), "Vector2(3.000000, 6.000000)");
    EXPECT_EQ(eval("isProbe(p)"), "true");
    EXPECT_EQ(eval("isProbe(null)"), "false");
}

TEST_F(ComponentBindingTest, AMissingInterfaceGivesTheNeutralResult) {
    HSQUIRRELVM v = vm();
    sq_pushroottable(v);
    ASSERT_TRUE(bindFunction(
        v, -1, "partCount", +[](Required<IComponentGroup> group) {
            return static_cast<std::int32_t>(group->GetObjectMap().size());
        }));
    ASSERT_TRUE(bindFunction(
        v, -1, "groupBounds", +[](Required<IComponentGroup>) { return Rect(1, 2, 3, 4); }));
    ASSERT_TRUE(bindFunction(
        v, -1, "partOf",
        +[](Required<IComponentGroup> group, const char* id) { return group->GetObject(id); }));
    sq_pop(v, 1);
    auto probe = make<Probe>();
    auto folder = make<Folder>();
    folder->RegisterObject("x", probe.get());
    share("p", probe.get());
    share("g", folder.get());

    EXPECT_EQ(eval("partCount(g)"), "1");
    EXPECT_EQ(eval("partOf(g, \"x\") == p"), "true");
    EXPECT_EQ(takeLog(), "");

    const std::pair<const char*, const char*> neutral[] = {
        {"partCount(p)", "0"},
        {"partCount(null)", "0"},
        {"groupBounds(Vector2())", "Rect(0, 0, 0, 0)"},
        {"partOf(p, \"x\")", "null"},
    };
    for (const auto& [call, result] : neutral) {
        EXPECT_EQ(eval(call), result) << call;
        std::string log = takeLog();
        EXPECT_NE(log.find("error: can't cast to IComponentGroup"), std::string::npos) << call << "\n" << log;
        EXPECT_NE(log.find("CALLSTACK"), std::string::npos) << call << "\n" << log;
    }
    folder->Shutdown();
}

} // namespace
