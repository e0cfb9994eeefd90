#include "navigation/route.h"

#include <array>

// The script-only forms of the route's methods.
struct RouteScript {
    static void initFromRouter(Route& route, IGridRouter* router, Vector2 from, Vector2 to, bool world) {
        route.InitFromRouter(router, from, to, world);
    }
    static void removePoint(Route& route, std::int32_t index) { route.m_path.removePoint(index); }
    static std::int32_t pointCount(Route& route) { return route.m_path.pointCount(); }
    static Vector2 pointPosition(Route& route, std::int32_t index) {
        return route.m_path.pointPosition(index);
    }
    static Vector2 pointDirection(Route& route, std::int32_t index) {
        return route.m_path.pointDirection(index);
    }
    static float pointDistance(Route& route, std::int32_t index) { return route.m_path.pointDistance(index); }
    static Vector2 progressPosition(Route& route, float d) { return route.m_path.progress(d).position; }
    static Vector2 progressDirection(Route& route, float d) { return route.m_path.progress(d).direction; }
};

const MethodTable& Route::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Route>("AddPosition", &Route::AddPosition),
        scriptMethod<Route>("InitFromRouter", &RouteScript::initFromRouter),
        scriptMethod<Route>("Clear", &Route::Clear),
        scriptMethod<Route>("GetLength", &Route::GetLength),
        scriptMethod<Route>("IsEmpty", &Route::IsEmpty),
        scriptMethod<Route>("Transform", &Route::Transform),
        scriptMethod<Route>("RemovePoint", &RouteScript::removePoint),
        scriptMethod<Route>("GetPointCount", &RouteScript::pointCount),
        scriptMethod<Route>("GetPointPosition", &RouteScript::pointPosition),
        scriptMethod<Route>("GetPointDirection", &RouteScript::pointDirection),
        scriptMethod<Route>("GetPointDistance", &RouteScript::pointDistance),
        scriptMethod<Route>("GetProgressPosition", &RouteScript::progressPosition),
        scriptMethod<Route>("GetProgressDirection", &RouteScript::progressDirection),
    };
    return table;
}

std::int32_t Route::InitFromRouter(IGridRouter* router, const Vector2& from, const Vector2& to,
                                   bool worldCoordinates) {
    if (router == nullptr) {
        m_path.clear();
        return 0;
    }
    std::int32_t count = router->FindPath(from, to, worldCoordinates);
    CopyFromRouter(router);
    return count;
}

void Route::CopyFromRouter(IGridRouter* router) {
    m_path.clear();
    if (router == nullptr) {
        return;
    }
    std::int32_t count = router->GetPointCount();
    for (std::int32_t i = 0; i < count; ++i) {
        m_path.addPosition(router->GetPoint(i));
    }
}
