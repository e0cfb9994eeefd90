#pragma once
// The graphics layer's part of the engine: the factory of `Display` (the one live display) for the component
// registry, and its script functions for the script host. Textures and render targets are not created by
// name: they come from the display. Each is called once at start-up, before scripts run; calling one again
// changes nothing.

class ComponentRegistry;
class ScriptApi;

void registerGraphicsClasses(ComponentRegistry& registry);

// The texture recolouring TextureFilter_ColorMatrix(texture, Matrix4) ("can't cast to ITexture" for a value
// without ITexture). The cursor, frame and tile-fill functions are stored by registerGraphicsFunctions
// (graphics/graphics_functions.h) once the display exists.
void registerGraphicsScriptApi(ScriptApi& api);
