#pragma once
// Installs the factories of the construction tools (`TerrainBuilder`, `BuildingBuilder`) in the component
// registry. Called once at start-up, after the tile world's classes (the building builder makes its preview
// as a TileObject by name); calling it again changes nothing.

class ComponentRegistry;

void registerConstructionClasses(ComponentRegistry& registry);
