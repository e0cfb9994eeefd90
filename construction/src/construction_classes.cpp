#include "construction/construction_classes.h"

#include "component/class_names.h"
#include "component/component_factory.h"
#include "component/component_registry.h"
#include "construction/building_builder.h"
#include "construction/terrain_builder.h"

void registerConstructionClasses(ComponentRegistry& registry) {
    registry.provideFactory(classId(ClassName::TerrainBuilder), &createComponent<TerrainBuilder>);
    registry.provideFactory(classId(ClassName::BuildingBuilder), &createComponent<BuildingBuilder>);
}
