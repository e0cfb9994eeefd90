// Test support (not part of the engine): farthest insertion as a textbook writes it, every distance to the
// tour recomputed at every step (cubic time). The tour solver's tests take it as their oracle and its
// benchmark as the baseline.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace navigation::test_support {

// The tour over the n x n cost matrix `m` (row-major) from place `s`, into `tour`.
inline void plainTour(const std::vector<std::int32_t>& m, std::int32_t n, std::int32_t s,
                      std::vector<std::int32_t>& tour) {
    tour.assign(1, s);
    std::vector<bool> in(std::size_t(n), false);
    in[std::size_t(s)] = true;
    const auto at = [&](std::int32_t a, std::int32_t b) -> std::int64_t { return m[std::size_t(a * n + b)]; };
    while (std::int32_t(tour.size()) < n) {
        std::int32_t p = -1;
        std::int64_t far = 0;
        for (std::int32_t j = 0; j < n; ++j) {
            if (in[std::size_t(j)]) continue;
            std::int64_t d = at(s, j);
            for (std::int32_t t : tour) d = std::min(d, at(t, j));
            if (p < 0 || d > far) p = j, far = d;
        }
        std::size_t best = 0;
        std::int64_t cheapest = 0;
        for (std::size_t e = 0; e < tour.size(); ++e) {
            std::int32_t u = tour[e], v = tour[(e + 1) % tour.size()];
            std::int64_t c = at(u, p) - at(u, v) + at(p, v);
            if (e == 0 || c < cheapest) best = e, cheapest = c;
        }
        tour.insert(tour.begin() + std::ptrdiff_t(best) + 1, p);
        in[std::size_t(p)] = true;
    }
}

} // namespace navigation::test_support
