#include "persistence/persistence_classes.h"

#include "component/class_names.h"
#include "component/component_factory.h"
#include "component/component_registry.h"
#include "persistence/blob.h"
#include "persistence/file.h"

void registerPersistenceClasses(ComponentRegistry& registry) {
    registry.provideFactory(classId(ClassName::File), &createComponent<File>);
    registry.provideFactory(classId(ClassName::Blob), &createComponent<Blob>);
}
