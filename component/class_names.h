#pragma once
// The class-name constants. Each registrable class name is one string constant whose address is
// the class's identity in the registry (see component/interface_id.h).

#include "component/interface_id.h"

namespace ClassName {

// Created by name through the registry, in registration order.
inline constexpr char Display[] = "Display";
inline constexpr char SoundDriver[] = "SoundDriver";
inline constexpr char System[] = "System";
inline constexpr char Console[] = "Console";
inline constexpr char Font[] = "Font";
inline constexpr char Layer[] = "Layer";
inline constexpr char UpdateGroup[] = "UpdateGroup";
inline constexpr char RenderGroup[] = "RenderGroup";
inline constexpr char InputGroup[] = "InputGroup";
inline constexpr char ResourceManager[] = "ResourceManager";
inline constexpr char CompoundObject[] = "CompoundObject";
inline constexpr char File[] = "File";
inline constexpr char Scene[] = "Scene";
inline constexpr char Blob[] = "Blob";
inline constexpr char Camera[] = "Camera";
inline constexpr char ScriptedObject[] = "ScriptedObject";
inline constexpr char GameLevel[] = "GameLevel";
inline constexpr char GameObject[] = "GameObject";
inline constexpr char TileManager[] = "TileManager";
inline constexpr char TileAnimationData[] = "TileAnimationData";
inline constexpr char TileLayer[] = "TileLayer";
inline constexpr char TileObject[] = "TileObject";
inline constexpr char PassMap[] = "PassMap";
inline constexpr char GridRouter[] = "GridRouter";
inline constexpr char TerrainBuilder[] = "TerrainBuilder";
inline constexpr char RoadRenderer[] = "RoadRenderer";
inline constexpr char TileAnimation[] = "TileAnimation";
inline constexpr char BuildingBuilder[] = "BuildingBuilder";
inline constexpr char Route[] = "Route";
inline constexpr char TransportMover[] = "TransportMover";
inline constexpr char GridRectRenderer[] = "GridRectRenderer";
inline constexpr char ObjectWatcher[] = "ObjectWatcher";
inline constexpr char ClassificatedRenderer[] = "ClassificatedRenderer";
inline constexpr char TSPSolver[] = "TSPSolver";
inline constexpr char GroupRenderer[] = "GroupRenderer";
inline constexpr char RoadCellsRenderer[] = "RoadCellsRenderer";

// Made by their owners (the display, the resource manager), never by name: no factory.
inline constexpr char Graphics[] = "Graphics";
inline constexpr char Texture[] = "Texture";
inline constexpr char RenderTarget[] = "RenderTarget";
inline constexpr char Mesh[] = "Mesh";
inline constexpr char Effect[] = "Effect";
inline constexpr char EffectEmitter[] = "EffectEmitter";
inline constexpr char Sound[] = "Sound";
inline constexpr char Music[] = "Music";

} // namespace ClassName

// The registry identity of a class-name constant: classId(ClassName::System).
constexpr ClassId classId(const char* classNameConstant) {
    return ClassId(classNameConstant);
}
