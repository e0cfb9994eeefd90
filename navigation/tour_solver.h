#pragma once
// `TourSolver`: orders places into a short closed tour that starts at a given place, by farthest insertion
// with the cheapest insertion position (no improvement pass, no randomness), over an n × n matrix of integer
// costs handed in explicitly (row-major, entry [a][b] the cost from a to b; it need not be symmetric).
//
// Each step takes the place outside the tour farthest from it (its distance to the tour being the smallest
// cost from any tour place to it; on equal distances the lowest number), and puts it on the tour edge
// u → v where cost[u][p] − cost[u][v] + cost[p][v] is smallest (on equal costs the first edge met walking
// from the start). Costs are summed in 64 bits, so large entries cannot overflow.
//
// Speed: O(n²) per solve, the distance of every outside place to the tour kept up to date as places are
// inserted; fixed working arrays, nothing allocated.

#include <array>
#include <cstdint>
#include <span>

class TourSolver {
public:
    static constexpr std::int32_t kMaxPlaces = 256;

    // Solves over `costs` (n × n entries); false (and an empty tour) for n outside 0 … 256 or a start
    // outside 0 … n − 1 when n > 0.
    bool solve(const std::int32_t* costs, std::int32_t n, std::int32_t start);

    // The places in visiting order, the start first.
    std::span<const std::int32_t> tour() const { return {m_tour.data(), static_cast<std::size_t>(m_size)}; }
    // The place at `index` of the tour, −1 outside it.
    std::int32_t at(std::int32_t index) const { return index >= 0 && index < m_size ? m_tour[index] : -1; }
    std::int32_t size() const { return m_size; }
    void clear() { m_size = 0; }

private:
    std::array<std::int32_t, kMaxPlaces> m_tour{};
    std::array<std::int32_t, kMaxPlaces> m_next{};     // next place on the tour, −1 outside it
    std::array<std::int64_t, kMaxPlaces> m_distance{}; // of an outside place to the tour
    std::int32_t m_size = 0;
};
