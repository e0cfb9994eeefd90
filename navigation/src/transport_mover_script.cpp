// The script methods of TransportMover: most bind straight to its operations; the optimal-route methods read
// arrays of Vector2 and Rect and answer arrays of integers.
#include "navigation/transport_mover.h"

#include "component/stream_interfaces.h"
#include "platform/kd.h"

namespace {

// The value-class instances of the array at stack index idx; false (with the binding's report) when the value
// is not an array or an element is not a T.
template <class T> bool readArray(HSQUIRRELVM v, SQInteger idx, std::vector<T>& out) {
    out.clear();
    if (sq_gettype(v, idx) != OT_ARRAY) {
        reportBindingError(BindingMessage::InvalidInstance);
        return false;
    }
    const SQInteger top = sq_gettop(v);
    const SQInteger n = sq_getsize(v, idx);
    for (SQInteger i = 0; i < n; ++i) {
        sq_pushinteger(v, i);
        const T* value = SQ_SUCCEEDED(sq_rawget(v, idx)) ? getInstance<T>(v, -1) : nullptr;
        sq_settop(v, top);
        if (value == nullptr) {
            return false;
        }
        out.push_back(*value);
    }
    return true;
}

SQInteger pushIndexes(HSQUIRRELVM v, const std::vector<std::uint8_t>& indexes) {
    sq_newarray(v, 0);
    for (std::uint8_t index : indexes) {
        sq_pushinteger(v, index);
        sq_arrayappend(v, -2);
    }
    return 1;
}

} // namespace

struct TransportMoverScript {
    // CreateOptimalRouteFromArea(targetCells, areas, startIndex, position, fromArea) and the FromPosition
    // form without fromArea.
    template <bool FromArea> static SQInteger createOptimalRoute(HSQUIRRELVM v) {
        TransportMover* self = componentReceiver<TransportMover>(v, 1);
        if (self == nullptr) {
            return binding_detail::raiseWrongReceiver(v);
        }
        if (sq_gettop(v) < (FromArea ? 6 : 5)) {
            return sq_throwerror(v, "wrong number of parameters");
        }
        ComponentRef<IAbstract> hold(self);
        std::vector<Vector2> cells;
        std::vector<Rect> areas;
        SQInteger start = 0;
        if (!readArray(v, 2, cells) || !readArray(v, 3, areas)) {
            return 0;
        }
        binding_detail::readInteger(v, 4, start);
        const Vector2* position = getInstance<Vector2>(v, 5);
        if (position == nullptr) {
            return 0;
        }
        if constexpr (FromArea) {
            const Rect* fromArea = getInstance<Rect>(v, 6);
            if (fromArea == nullptr) {
                return 0;
            }
            self->CreateOptimalRouteFromArea(cells, areas, static_cast<std::int32_t>(start), *position,
                                             *fromArea);
        } else {
            self->CreateOptimalRouteFromPosition(cells, areas, static_cast<std::int32_t>(start), *position);
        }
        return 0;
    }
    static SQInteger reachable(HSQUIRRELVM v) {
        TransportMover* self = componentReceiver<TransportMover>(v, 1);
        return self ? pushIndexes(v, self->reachable()) : binding_detail::raiseWrongReceiver(v);
    }
    static SQInteger unreachable(HSQUIRRELVM v) {
        TransportMover* self = componentReceiver<TransportMover>(v, 1);
        return self ? pushIndexes(v, self->unreachable()) : binding_detail::raiseWrongReceiver(v);
    }
};

const MethodTable& TransportMover::scriptMethods() {
    static const MethodTable table{
        scriptMethod<TransportMover>("SetGridMap", &TransportMover::SetGridMap),
        scriptMethod<TransportMover>("SetGridRouter", &TransportMover::SetGridRouter),
        scriptMethod<TransportMover>("SetSpeed", &TransportMover::SetSpeed),
        scriptMethod<TransportMover>("AddTransport", &TransportMover::AddTransport),
        scriptMethod<TransportMover>("RemoveTransport", &TransportMover::RemoveTransport),
        scriptMethod<TransportMover>("InitMoving", &TransportMover::InitMoving),
        scriptMethod<TransportMover>("InitPosition", &TransportMover::InitPosition),
        scriptMethod<TransportMover>("GetRouteLength", &TransportMover::GetRouteLength),
        scriptMethod<TransportMover>("CanStartMoving", &TransportMover::CanStartMoving),
        scriptMethod<TransportMover>("SetMoving", &TransportMover::SetMoving),
        scriptMethod<TransportMover>("StopMoving", &TransportMover::StopMoving),
        scriptMethod<TransportMover>("PauseMoving", &TransportMover::PauseMoving),
        scriptMethod<TransportMover>("MoveToRoadsite", &TransportMover::MoveToRoadsite),
        scriptMethod<TransportMover>("FindPathBetweenAreas", &TransportMover::FindPathBetweenAreas),
        scriptMethod<TransportMover>("FindPathToArea", &TransportMover::FindPathToArea),
        scriptMethod<TransportMover>("WriteTransportToStream", &TransportMover::WriteTransportToStream),
        scriptMethod<TransportMover>("ReadTransportFromStream", &TransportMover::ReadTransportFromStream),
        scriptMethodRaw("CreateOptimalRouteFromArea", &TransportMoverScript::createOptimalRoute<true>),
        scriptMethodRaw("CreateOptimalRouteFromPosition", &TransportMoverScript::createOptimalRoute<false>),
        scriptMethodRaw("GetOptimalRouteIndexesReachable", &TransportMoverScript::reachable),
        scriptMethodRaw("GetOptimalRouteIndexesUnreachable", &TransportMoverScript::unreachable),
    };
    return table;
}
