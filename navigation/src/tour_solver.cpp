#include "navigation/tour_solver.h"

#include <limits>

bool TourSolver::solve(const std::int32_t* costs, std::int32_t n, std::int32_t start) {
    m_size = 0;
    if (n < 0 || n > kMaxPlaces || (n > 0 && (start < 0 || start >= n || costs == nullptr))) {
        return false;
    }
    if (n == 0) {
        return true;
    }
    const auto cost = [costs, n](std::int32_t a, std::int32_t b) -> std::int64_t {
        return costs[static_cast<std::size_t>(a) * static_cast<std::size_t>(n) + static_cast<std::size_t>(b)];
    };
    for (std::int32_t j = 0; j < n; ++j) {
        m_next[j] = -1;
        m_distance[j] = cost(start, j);
    }
    m_next[start] = start;

    for (std::int32_t k = 0; k + 1 < n; ++k) {
        // The farthest outside place; the lowest number on ties.
        std::int32_t p = -1;
        std::int64_t farthest = std::numeric_limits<std::int64_t>::min();
        for (std::int32_t j = 0; j < n; ++j) {
            if (m_next[j] < 0 && (p < 0 || m_distance[j] > farthest)) {
                p = j;
                farthest = m_distance[j];
            }
        }
        // The cheapest of the k + 1 tour edges, walked from the start; the first on ties.
        std::int32_t bestU = start;
        std::int64_t cheapest = std::numeric_limits<std::int64_t>::max();
        std::int32_t u = start;
        for (std::int32_t e = 0; e <= k; ++e) {
            std::int32_t v = m_next[u];
            std::int64_t c = cost(u, p) - cost(u, v) + cost(p, v);
            if (c < cheapest) {
                cheapest = c;
                bestU = u;
            }
            u = v;
        }
        m_next[p] = m_next[bestU];
        m_next[bestU] = p;
        for (std::int32_t j = 0; j < n; ++j) {
            if (m_next[j] < 0 && cost(p, j) < m_distance[j]) {
                m_distance[j] = cost(p, j);
            }
        }
    }
    std::int32_t place = start;
    for (std::int32_t i = 0; i < n; ++i) {
        m_tour[i] = place;
        place = m_next[place];
    }
    m_size = n;
    return true;
}
