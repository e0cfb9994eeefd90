#pragma once
// Installs the factory of `Display` (the one live display) in the component registry. Textures and render
// targets are not created by name: they come from the display. Called once at start-up, before scripts create
// components by name; calling it again changes nothing.

class ComponentRegistry;

void registerGraphicsClasses(ComponentRegistry& registry);
