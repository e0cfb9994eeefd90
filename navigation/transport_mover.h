#pragma once
// `TransportMover`: moves the game's transports (any component with IPositionable; its script object gets the
// callbacks) along right-hand lane routes over the roads, on every update of UPDATE_LAYER_MOVEMENT (2).
//
// Each update walks the records in registration order. A moving, unpaused transport with a route advances by
// speed × elapsed, unless another moving transport (not parked at the roadside) stands within the look-ahead
// box in front of it heading no more than 90° away; a transport never waits for one that waits, directly or
// through others, for it (links set in this update count: a loaded game, whose records carry no links, then
// plays on exactly as the saved one would have). Its pose follows the route (first transform row the heading,
// second the normal to its right). A new cell calls the transport's `OnCellChange(onRoad)`; reaching the end
// drops the route, stops it and calls `OnMovingFinish()`.
//
// Callbacks may change the transports while the update walks them: a transport removed in a callback takes no
// further step (its record is marked and dropped after the walk), one added is first moved by the next
// update, and a new route started from a callback is driven from the next update on.
//
// Stream record of a transport (WriteTransportToStream / ReadTransportFromStream): uint8 1 when it has a
// route, then the route's record; float distance; uint16 cell x, cell y; uint8 at roadside; uint8 moving.
// Reading fails on any short or malformed record and then changes nothing.
//
// Script methods: SetGridMap, SetGridRouter, SetSpeed, AddTransport, RemoveTransport, InitMoving,
// InitPosition, GetRouteLength, CanStartMoving, SetMoving, StopMoving, PauseMoving, MoveToRoadsite,
// FindPathBetweenAreas, FindPathToArea, WriteTransportToStream, ReadTransportFromStream,
// CreateOptimalRouteFromArea, CreateOptimalRouteFromPosition, GetOptimalRouteIndexesReachable,
// GetOptimalRouteIndexesUnreachable.

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/game_interfaces.h"
#include "component/group_interfaces.h"
#include "math/matrix3.h"
#include "math/rect.h"
#include "math/vector2.h"
#include "navigation/lane_route.h"

#include <cstdint>
#include <vector>

class IInputStream;
class IOutputStream;

class TransportMover final : public IShutdownable,
                             public IUpdateable,
                             public IVisible,
                             public IRenderable,
                             public ScriptObjectBase<TransportMover> {
public:
    static constexpr char ScriptTypeName[] = "TransportMover";
    static const MethodTable& scriptMethods();
    static constexpr std::int32_t kUpdateLayer = 2;
    static constexpr std::int32_t kRenderLayer = 1000;

    TransportMover();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IShutdownable, IUpdateable, IVisible, IRenderable, IScriptObject>(this, id);
    }

    // Drops every transport record.
    void Shutdown() override;
    std::int32_t GetUpdateLayer() override { return kUpdateLayer; }
    void Init(std::int32_t) override {}
    void Update(std::int32_t layer, std::int32_t elapsed) override;
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() override { return m_visible; }
    // The debug overlay: each transport's mark and look-ahead box, and its route.
    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override { return kRenderLayer; }

    void SetGridMap(IGridMap* map);
    void SetGridRouter(IGridRouter* router) { m_router.reset(router); }
    void SetSpeed(float speed) { m_speed = speed; }
    void AddTransport(IPositionable* transport);
    void RemoveTransport(IPositionable* transport);
    bool InitMoving(IPositionable* transport, IRoute* cellRoute);
    void InitPosition(IPositionable* transport);
    float GetRouteLength(IPositionable* transport);
    bool CanStartMoving(IPositionable* transport);
    void SetMoving(IPositionable* transport, bool moving);
    void StopMoving(IPositionable* transport);
    void PauseMoving(IPositionable* transport, bool paused);
    bool MoveToRoadsite(IPositionable* transport);
    ComponentRef<IRoute> FindPathToArea(const Vector2& from, const Vector2& targetCell, const Rect& area);
    ComponentRef<IRoute> FindPathBetweenAreas(const Vector2& startCell, const Rect& fromArea,
                                              const Vector2& targetCell, const Rect& toArea);
    bool WriteTransportToStream(IOutputStream* stream, IPositionable* transport);
    bool ReadTransportFromStream(IInputStream* stream, IPositionable* transport);
    // Orders the reachable areas into a short tour from `position` (the lists below); at most 255 areas, the
    // shorter of the two lists decides how many.
    void CreateOptimalRouteFromPosition(const std::vector<Vector2>& targetCells,
                                        const std::vector<Rect>& areas, std::int32_t startIndex,
                                        const Vector2& position);
    void CreateOptimalRouteFromArea(const std::vector<Vector2>& targetCells, const std::vector<Rect>& areas,
                                    std::int32_t startIndex, const Vector2& position, const Rect& fromArea);
    const std::vector<std::uint8_t>& reachable() const { return m_reachable; }
    const std::vector<std::uint8_t>& unreachable() const { return m_unreachable; }

    // A hash of every record's state and its transport's transform, for determinism checks.
    std::uint64_t stateHash();
    std::int32_t transportCount() const { return static_cast<std::int32_t>(m_records.size()); }
    LaneGeometry& laneGeometry() { return m_lane; }

private:
    struct Record {
        ComponentRef<IPositionable> transport;
        IAbstract* identity = nullptr;
        ComponentRef<IRoute> route;
        float distance = 0.0f;
        std::uint16_t cellX = 0;
        std::uint16_t cellY = 0;
        bool atRoadside = false;
        bool moving = false;
        bool paused = false;
        bool removed = false;
        std::int32_t blockedBy = -1; // record index
        std::uint32_t blockedIn = 0; // the update that set blockedBy
    };

    std::int32_t find(IPositionable* transport) const;
    Record* recordOf(IPositionable* transport);
    bool blocked(std::int32_t index);
    bool chainLeadsTo(std::int32_t from, std::int32_t target) const;
    void refreshPoses();
    void setPose(std::int32_t index, const RouteProgress& progress);
    // Calls the transport's script member `name` (with onRoad when given); false when the record went away.
    bool callBack(std::int32_t index, const char* name, int onRoad);
    void removeAt(std::int32_t index);
    ComponentRef<IRoute> newRoute() const;
    bool onRoad(std::int32_t x, std::int32_t y);
    Vector2 toCell(const Vector2& world) const { return m_worldToCell.MultVrt(world); }

    ComponentRef<IGridMap> m_map;
    ComponentRef<IGridRouter> m_router;
    Matrix3 m_cellToWorld;
    Matrix3 m_worldToCell;
    std::uint64_t m_roadMask = 0;
    std::int32_t m_roadValue = 0;
    float m_speed = 0.0f;
    LaneGeometry m_lane;
    float m_lookAheadLength = 50.0f;
    float m_lookAheadWidth = 24.0f;
    bool m_visible = false;
    std::vector<Record> m_records;
    bool m_walking = false;
    std::uint32_t m_update = 0; // counts updates
    bool m_anyRemoved = false;

    // Poses of the records (x, y, heading, normal), refreshed from the transforms when a callback ran.
    struct Pose {
        Vector2 position, heading, normal;
    };
    std::vector<Pose> m_poses;
    bool m_posesStale = true;

    // During an update: the records bucketed by where they stood when it began (or when a callback last ran),
    // in square buckets wider than the look-ahead reach plus one update's step, so every transport that can
    // block another lies in the 3 x 3 buckets around it.
    void bucketPoses();
    bool m_bucketed = false;
    float m_bucketStep = 0.0f; // the update's step
    float m_bucketSize = 1.0f;
    Vector2 m_bucketOrigin;
    std::int32_t m_bucketColumns = 0;
    std::int32_t m_bucketRows = 0;
    std::vector<std::int32_t> m_bucketHead; // first record of each bucket, −1 none
    std::vector<std::int32_t> m_bucketNext; // next record in the same bucket
    std::vector<std::int32_t> m_bucketOf;   // bucket of each record

    std::vector<std::uint8_t> m_reachable;
    std::vector<std::uint8_t> m_unreachable;
    std::vector<Vector2> m_cellScratch;
    std::vector<Vector2> m_laneScratch;
};
