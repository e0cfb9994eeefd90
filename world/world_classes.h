#pragma once
// Installs the factories of the tile world's classes (TileLayer, TileObject, TileAnimationData,
// TileAnimation, RoadRenderer, RoadCellsRenderer, GameLevel, GameObject, ObjectWatcher, GridRectRenderer,
// ClassificatedRenderer, GroupRenderer) in the component registry. Called once at start-up; calling it again
// changes nothing.

class ComponentRegistry;

void registerWorldClasses(ComponentRegistry& registry);
