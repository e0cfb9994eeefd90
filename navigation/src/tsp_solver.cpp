#include "navigation/tsp_solver.h"

#include "platform/kd.h"

#include <cmath>
#include <new>

namespace {

constexpr char kTag[] = "TSPSolver";

// A matrix entry: an integer, or a float truncated toward zero (clamped into 32 bits).
bool entryOf(HSQUIRRELVM v, SQInteger idx, std::int32_t& out) {
    SQObjectType type = sq_gettype(v, idx);
    if (type == OT_INTEGER) {
        SQInteger value = 0;
        sq_getinteger(v, idx, &value);
        out = static_cast<std::int32_t>(value);
        return true;
    }
    if (type == OT_FLOAT) {
        SQFloat value = 0.0f;
        sq_getfloat(v, idx, &value);
        if (std::isnan(value)) {
            return false;
        }
        double t = std::trunc(double(value));
        out = t >= 2147483647.0 ? INT32_MAX : t <= -2147483648.0 ? INT32_MIN : static_cast<std::int32_t>(t);
        return true;
    }
    return false;
}

} // namespace

struct TSPSolverScript {
    // Solve(matrix, start): reads the rows straight into the solver's flat matrix.
    static SQInteger solve(HSQUIRRELVM v) {
        TSPSolver* self = componentReceiver<TSPSolver>(v, 1);
        if (self == nullptr) {
            return binding_detail::raiseWrongReceiver(v);
        }
        ComponentRef<IAbstract> hold(self);
        SQInteger start = 0;
        if (sq_gettop(v) < 3) {
            return sq_throwerror(v, "wrong number of parameters");
        }
        binding_detail::readInteger(v, 3, start);
        self->m_solver.clear(); // the result is empty until the matrix is accepted
        if (sq_gettype(v, 2) != OT_ARRAY) {
            logError(kTag, "Solve needs an array of rows");
            return 0;
        }
        SQInteger n = sq_getsize(v, 2);
        if (n > TourSolver::kMaxPlaces) {
            logError(kTag, "Solve takes at most %d places, not %lld", TourSolver::kMaxPlaces,
                     static_cast<long long>(n));
            return 0;
        }
        try {
            self->m_matrix.resize(static_cast<std::size_t>(n * n));
        } catch (const std::bad_alloc&) {
            return 0;
        }
        const SQInteger top = sq_gettop(v);
        for (SQInteger i = 0; i < n; ++i) {
            sq_pushinteger(v, i);
            if (SQ_FAILED(sq_rawget(v, 2)) || sq_gettype(v, -1) != OT_ARRAY || sq_getsize(v, -1) != n) {
                sq_settop(v, top);
                logError(kTag, "row %lld of the matrix is not an array of %lld numbers",
                         static_cast<long long>(i), static_cast<long long>(n));
                return 0;
            }
            for (SQInteger j = 0; j < n; ++j) {
                sq_pushinteger(v, j);
                bool ok = SQ_SUCCEEDED(sq_rawget(v, -2)) &&
                          entryOf(v, -1, self->m_matrix[static_cast<std::size_t>(i * n + j)]);
                sq_settop(v, top + 1);
                if (!ok) {
                    sq_settop(v, top);
                    logError(kTag, "entry [%lld][%lld] of the matrix is not a number",
                             static_cast<long long>(i), static_cast<long long>(j));
                    return 0;
                }
            }
            sq_settop(v, top);
        }
        self->solveFlat(self->m_matrix.data(), static_cast<std::int32_t>(n),
                        static_cast<std::int32_t>(start));
        return 0;
    }
};

const MethodTable& TSPSolver::scriptMethods() {
    static const MethodTable table{
        scriptMethodRaw("Solve", &TSPSolverScript::solve),
        scriptMethod<TSPSolver>("GetResultID", &TSPSolver::GetResultID),
    };
    return table;
}

bool TSPSolver::solveFlat(const std::int32_t* costs, std::int32_t n, std::int32_t start) {
    if (m_solver.solve(costs, n, start)) {
        return true;
    }
    if (n > TourSolver::kMaxPlaces) {
        logError(kTag, "Solve takes at most %d places, not %d", TourSolver::kMaxPlaces, n);
    } else {
        logError(kTag, "start place %d is not one of the %d places", start, n);
    }
    return false;
}

void TSPSolver::Solve(const std::vector<std::vector<std::int32_t>>& distances, std::int32_t start) {
    const auto n = static_cast<std::int32_t>(distances.size());
    m_solver.clear();
    if (n > TourSolver::kMaxPlaces) {
        solveFlat(nullptr, n, start);
        return;
    }
    m_matrix.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        if (static_cast<std::int32_t>(distances[static_cast<std::size_t>(i)].size()) < n) {
            logError(kTag, "row %d of the matrix holds fewer than %d entries", i, n);
            return;
        }
        for (std::int32_t j = 0; j < n; ++j) {
            m_matrix[static_cast<std::size_t>(i * n + j)] =
                distances[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
        }
    }
    solveFlat(m_matrix.data(), n, start);
}
