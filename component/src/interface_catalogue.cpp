#include "component/interface_catalogue.h"

#include "component/engine_interfaces.h"
#include "component/frame_interfaces.h"
#include "component/game_interfaces.h"
#include "component/group_interfaces.h"
#include "component/media_interfaces.h"
#include "component/object_interfaces.h"
#include "component/script_interfaces.h"
#include "component/stream_interfaces.h"

namespace {

constexpr InterfaceId kEngineInterfaces[] = {
    IAbstract::ID,       IInputStream::ID,   IOutputStream::ID,     IIdentifiable::ID,
    IShutdownable::ID,   IDisplay::ID,       IRenderTarget::ID,     IGraphics::ID,
    IEffect::ID,         IEffectEmitter::ID, IReadable::ID,         IWriteable::ID,
    ILoadable::ID,       ISaveable::ID,      ICloneable::ID,        ITexture::ID,
    IFont::ID,           ISystem::ID,        IFunctionalGroup::ID,  IComponentGroup::ID,
    IComposite::ID,      IGroupMember::ID,   IUpdateable::ID,       IWithLifeTime::ID,
    IRenderable::ID,     IClassifiable::ID,  IVisible::ID,          IResourceManager::ID,
    IManualControl::ID,  IScriptObject::ID,  IScriptLoadable::ID,   IScriptSaveable::ID,
    IPositionable3D::ID, IPositionable::ID,  IPositionableUser::ID, IBoundingInfo::ID,
    ICamera::ID,         IInputHandler::ID,  IObjectControl::ID,    ISoundDriver::ID,
    ISound::ID,          IAnimateable::ID,   IStateProvider::ID,    ITileManager::ID,
};
static_assert(std::size(kEngineInterfaces) == 44);

constexpr InterfaceId kGameInterfaces[] = {
    ITileAnimationData::ID, ITileObject::ID,   IGridMap::ID, IRoadRenderer::ID, IGridRouter::ID,
    ITileLayer::ID,         IGridRenderer::ID, IRoute::ID,   ITSPSolver::ID,
};
static_assert(std::size(kGameInterfaces) == 9);

} // namespace

std::span<const InterfaceId> engineInterfaces() {
    return kEngineInterfaces;
}

std::span<const InterfaceId> gameInterfaces() {
    return kGameInterfaces;
}

InterfaceId findInterface(std::string_view name) {
    for (auto table : {engineInterfaces(), gameInterfaces()}) {
        for (InterfaceId id : table) {
            if (name == id.name()) {
                return id;
            }
        }
    }
    return InterfaceId();
}
