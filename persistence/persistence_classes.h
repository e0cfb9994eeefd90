#pragma once
// Installs the factories of the persistence classes (`File`, `Blob`) in the component registry. Called once
// at start-up, before scripts create components by name; calling it again changes nothing.

class ComponentRegistry;

void registerPersistenceClasses(ComponentRegistry& registry);
