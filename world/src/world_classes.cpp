// The tile world's factories.
#include "world/world_classes.h"

#include "component/class_names.h"
#include "component/component_registry.h"
#include "world/game_level.h"
#include "world/game_object.h"
#include "world/overlay_renderers.h"
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
    registry.provideFactory(classId(ClassName::GameLevel), &createComponent<GameLevel>);
    registry.provideFactory(classId(ClassName::GameObject), &createComponent<GameObject>);
    registry.provideFactory(classId(ClassName::ObjectWatcher), &createComponent<ObjectWatcher>);
    registry.provideFactory(classId(ClassName::GridRectRenderer), &createComponent<GridRectRenderer>);
    registry.provideFactory(classId(ClassName::ClassificatedRenderer),
                            &createComponent<ClassificatedRenderer>);
    registry.provideFactory(classId(ClassName::GroupRenderer), &createComponent<GroupRenderer>);
}
