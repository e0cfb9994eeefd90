#pragma once
// `TSPSolver`: the tour optimiser (TourSolver) as a component. Every request for the class answers one shared
// instance, made on the first request and kept for the run, so every user sees the result of the last Solve
// made by anyone.
//
// Script methods: Solve(matrix, start) with matrix an array of n arrays of n numbers (n at most 256);
// GetResultID(index) → the place at that position of the tour, −1 outside it. A matrix that is not square,
// holds something other than numbers, has more than 256 places, or a start outside 0 … n − 1 is refused with
// a log line and leaves an empty result.

#include "binding/binding_script_object.h"
#include "component/game_interfaces.h"
#include "navigation/tour_solver.h"

#include <cstdint>
#include <vector>

class TSPSolver final : public ITSPSolver, public ScriptObjectBase<TSPSolver> {
public:
    static constexpr char ScriptTypeName[] = "TSPSolver";
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override { return queryAmong<ITSPSolver, IScriptObject>(this, id); }

    void Solve(const std::vector<std::vector<std::int32_t>>& distances, std::int32_t start) override;
    std::int32_t GetResultID(std::int32_t index) override { return m_solver.at(index); }

    // Solves over a row-major n × n matrix; false (logged) when refused.
    bool solveFlat(const std::int32_t* costs, std::int32_t n, std::int32_t start);
    const TourSolver& solver() const { return m_solver; }

private:
    friend struct TSPSolverScript;
    TourSolver m_solver;
    std::vector<std::int32_t> m_matrix; // the flattened matrix of the last Solve
};
