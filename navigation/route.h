#pragma once
// `Route`: a polyline in world (or cell) coordinates measured by arc length (RoutePath), filled point by
// point or from a router's last path, and stored in streams (RoutePath's record).
//
// Script methods: AddPosition(p), InitFromRouter(router, from, to, worldCoords), Clear, GetLength, IsEmpty,
// Transform(m), RemovePoint(i), GetPointCount, GetPointPosition(i), GetPointDirection(i),
// GetPointDistance(i), GetProgressPosition(d), GetProgressDirection(d). An index outside 0 … GetPointCount()
// − 1 changes nothing and answers (0, 0) or 0. Loading with a script object only binds it.

#include "binding/binding_script_object.h"
#include "component/game_interfaces.h"
#include "component/script_interfaces.h"
#include "component/stream_interfaces.h"
#include "navigation/route_path.h"

class Route final : public IRoute,
                    public IScriptLoadable,
                    public IReadable,
                    public IWriteable,
                    public ScriptObjectBase<Route> {
public:
    static constexpr char ScriptTypeName[] = "Route";
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IRoute, IScriptLoadable, IReadable, IWriteable, IScriptObject>(this, id);
    }

    void AddPosition(const Vector2& position) override { m_path.addPosition(position); }
    // Searches with the router and copies its path; a failed search (or no router) leaves the route empty.
    std::int32_t InitFromRouter(IGridRouter* router, const Vector2& from, const Vector2& to,
                                bool worldCoordinates) override;
    void CopyFromRouter(IGridRouter* router) override;
    void Clear() override { m_path.clear(); }
    bool IsEmpty() override { return m_path.isEmpty(); }
    float GetLength() override { return m_path.length(); }
    const std::vector<RoutePoint>& GetPoints() override { return m_path.points(); }
    RouteProgress GetProgress(float distance) override { return m_path.progress(distance); }
    void Transform(const Matrix3& matrix) override { m_path.transform(matrix); }

    bool LoadFromScript(const ScriptValue& value) override { return scriptExtension().attach(this, value); }
    bool ReadFrom(IInputStream* stream) override { return m_path.read(stream); }
    bool WriteTo(IOutputStream* stream) override { return m_path.write(stream); }

    RoutePath& path() { return m_path; }

private:
    friend struct RouteScript;
    RoutePath m_path;
};
