// The tile world's factories.
#include "world/world_classes.h"

#include "component/class_names.h"
#include "component/component_registry.h"
#include "world/road_renderer.h"
#include "world/tile_animation.h"
#include "world/tile_layer.h"
#include "world/tile_object.h"

void registerWorldClasses(ComponentRegistry& registry) {
    registry.provideFactory(classId(ClassName::TileAnimationData), &createComponent<TileAnimationData>);
    registry.provideFactory(classId(ClassName::TileLayer), &createComponent<TileLayer>);
    registry.provideFactory(classId(ClassName::TileObject), &createComponent<TileObject>);
    registry.provideFactory(classId(ClassName::TileAnimation), &createComponent<TileAnimation>);
    registry.provideFactory(classId(ClassName::RoadRenderer), &createComponent<RoadRenderer>);
    registry.provideFactory(classId(ClassName::RoadCellsRenderer), &createComponent<RoadCellsRenderer>);
}
