// The graphics layer's script global installed with every VM: texture recolouring.
#include "binding/binding.h"
#include "binding/global_functions.h"
#include "graphics/graphics_classes.h"
#include "graphics/texture.h"
#include "math/matrix4.h"
#include "script/script_api.h"

namespace {

void installGraphicsApi(HSQUIRRELVM v) {
    sq_pushroottable(v);
    const SQInteger root = sq_gettop(v);
    bindFunction(
        v, root, "TextureFilter_ColorMatrix", +[](IAbstract* texture, Matrix4 matrix) {
            withInterface<ITexture>(texture,
                                    [&](ITexture* held) { TextureFilter_ColorMatrix(held, matrix); });
        });
    sq_poptop(v);
}

} // namespace

void registerGraphicsScriptApi(ScriptApi& api) {
    api.add(&installGraphicsApi);
}
