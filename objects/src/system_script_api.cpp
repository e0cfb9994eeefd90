// The object layer's script globals: the game time and the update-layer constants.
#include "binding/binding.h"
#include "objects/system.h"
#include "script/script_api.h"
#include "script/script_host.h"

namespace {

void installObjectModelApi(HSQUIRRELVM v) {
    sq_pushroottable(v);
    const SQInteger root = sq_gettop(v);
    // The game time belongs to the System object; before it exists the game has not started: 0.
    bindFunction(
        v, root, "getTime", +[]() -> SQInteger {
            System* system = System::live();
            return system ? static_cast<SQInteger>(system->GetTime()) : 0;
        });
    sq_poptop(v);

    ScriptValue rootTable = ScriptHost::root();
    ScriptHost::setInt(rootTable, "UPDATE_LAYER_SYSTEM", 1);
    ScriptHost::setInt(rootTable, "UPDATE_LAYER_MOVEMENT", 2);
    ScriptHost::setInt(rootTable, "UPDATE_LAYER_DYNAMICS", 4);
    ScriptHost::setInt(rootTable, "UPDATE_LAYER_EFFECTS", 64);
    ScriptHost::setInt(rootTable, "UPDATE_LAYER_MAX", 256);
}

} // namespace

void registerObjectModelScriptApi(ScriptApi& api) {
    api.add(&installObjectModelApi);
}
