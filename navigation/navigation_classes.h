#pragma once
// Installs the factories of the navigation classes (`PassMap`, `GridRouter`, `Route`, and the shared
// `TSPSolver`) in the component registry. Called once at start-up, before scripts create components by name;
// calling it again changes nothing.

class ComponentRegistry;

void registerNavigationClasses(ComponentRegistry& registry);
