#pragma once
// Installs the factory of `SoundDriver` (the one live driver) in the component registry. `Sound` and `Music`
// are not created by name: they come from the driver. Called once at start-up, before scripts create
// components by name; calling it again changes nothing.

class ComponentRegistry;

void registerAudioClasses(ComponentRegistry& registry);
