#include "audio/audio_classes.h"

#include "audio/sound_driver.h"
#include "component/class_names.h"
#include "component/component_factory.h"
#include "component/component_registry.h"

void registerAudioClasses(ComponentRegistry& registry) {
    registry.provideFactory(classId(ClassName::SoundDriver), &createSingleInstance<SoundDriver>);
}
