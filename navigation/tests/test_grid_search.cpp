// The wave search on hand-made grids (no engine): the path cases, the wave limits, the walk-back order, and
// the kept waves checked against a plain search that starts afresh every time.
#include "navigation/grid_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t kRoad = 1u << 1; // cells holding 1 are passable

// A grid drawn as text: '#' is road (1), '.' is ground (0), any other character its code.
struct Grid {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> cells;
    std::uint32_t revision = 1;

    explicit Grid(const std::vector<std::string>& rows)
        : width(static_cast<std::int32_t>(rows[0].size())), height(static_cast<std::int32_t>(rows.size())) {
        for (const std::string& row : rows) {
            for (char c : row) cells.push_back(c == '#' ? 1 : c == '.' ? 0 : static_cast<std::uint8_t>(c));
        }
    }
    Grid(std::int32_t w, std::int32_t h, std::uint8_t value)
        : width(w), height(h), cells(std::size_t(w * h), value) {}
    GridView view() const { return {width, height, cells.data(), revision}; }
    void set(std::int32_t x, std::int32_t y, std::uint8_t value) {
        cells[std::size_t(y * width + x)] = value;
        ++revision;
    }
};

// The search written out step by step, starting afresh every time: what the kept waves must reproduce.
std::vector<GridCell> plainSearch(const Grid& g, std::uint64_t mask, GridCell s, GridCell t) {
    const auto passable = [&](std::int64_t x, std::int64_t y) {
        return GridSearch::passable(g.view(), mask, x, y);
    };
    if (!passable(s.x, s.y) || !passable(t.x, t.y)) return {};
    const std::int32_t w = g.width, h = g.height;
    std::vector<std::int32_t> dist(std::size_t(w * h), -1);
    std::int32_t start = s.y * w + s.x, target = t.y * w + t.x;
    bool found = start == target;
    dist[std::size_t(start)] = 0;
    std::vector<std::int32_t> current{start}, next;
    for (std::int32_t wave = 1; !current.empty() && !found && wave < 200; ++wave) {
        next.clear();
        for (std::int32_t index : current) {
            std::int32_t x = index % w, y = index / w;
            const std::int32_t nbs[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
            for (const auto& nb : nbs) {
                if (found || next.size() >= 200) continue;
                std::int32_t nx = std::clamp(nb[0], 0, w - 1), ny = std::clamp(nb[1], 0, h - 1);
                std::int32_t n = ny * w + nx;
                if (dist[std::size_t(n)] != -1 || !passable(nx, ny)) continue;
                dist[std::size_t(n)] = wave;
                if (n == target)
                    found = true;
                else
                    next.push_back(n);
            }
        }
        current.swap(next);
    }
    if (!found) return {};
    std::int32_t steps = dist[std::size_t(target)];
    std::vector<GridCell> path(std::size_t(steps) + 1);
    std::int32_t x = target % w, y = target / w;
    for (std::int32_t i = steps; i >= 0; --i) {
        path[std::size_t(i)] = {x, y};
        const std::int32_t nbs[4][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
        for (const auto& nb : nbs) {
            std::int32_t nx = std::clamp(nb[0], 0, w - 1), ny = std::clamp(nb[1], 0, h - 1);
            if (dist[std::size_t(ny * w + nx)] == i - 1) {
                x = nx, y = ny;
                break;
            }
        }
    }
    return path;
}

std::vector<GridCell> find(GridSearch& search, const Grid& grid, GridCell s, GridCell t,
                           std::uint64_t mask = kRoad) {
    return search.find(grid.view(), mask, s, t) ? search.path() : std::vector<GridCell>{};
}

std::string text(const std::vector<GridCell>& path) {
    std::string out;
    // Appended piece by piece: GCC 12 at -O3 takes a chain of temporaries here for an overlapping copy.
    for (const GridCell& c : path) {
        out += '(';
        out += std::to_string(c.x);
        out += ',';
        out += std::to_string(c.y);
        out += ')';
    }
    return out;
}

// A one-cell-wide corridor snaking over rows of width `width`: `length` cells from (0, 0).
Grid snake(std::int32_t width, std::int32_t length) {
    std::int32_t rows = 2 * (length / width + 1) + 1;
    Grid g(width, rows, 0);
    std::int32_t x = 0, y = 0, dir = 1, placed = 0;
    while (placed < length) {
        g.set(x, y, 1);
        ++placed;
        if ((dir > 0 && x == width - 1) || (dir < 0 && x == 0)) {
            if (placed < length) g.set(x, y + 1, 1), ++placed;
            y += 2, dir = -dir;
        } else {
            x += dir;
        }
    }
    return g;
}

struct PathCase {
    const char* name;
    std::vector<std::string> rows;
    GridCell start, target;
    const char* expected; // "" for no path
};

const PathCase kPathCases[] = {
    {"StartIsTarget", {"###"}, {1, 0}, {1, 0}, "(1,0)"},
    {"StraightCorridor", {"#####"}, {0, 0}, {4, 0}, "(0,0)(1,0)(2,0)(3,0)(4,0)"},
    {"StartBlocked", {".####"}, {0, 0}, {4, 0}, ""},
    {"TargetBlocked", {"####."}, {0, 0}, {4, 0}, ""},
    {"TargetOutside", {"#####"}, {0, 0}, {2, 1}, ""},
    {"StartOutside", {"#####"}, {-1, 0}, {4, 0}, ""},
    {"Unreachable", {"##.##"}, {0, 0}, {4, 0}, ""},
    // (width, 0) is the cell (0, 1), and (-1, 1) the cell (2, 0).
    {"CoordinatesAliasByIndex", {"###", "#.."}, {3, 0}, {-1, 1}, "(0,1)(0,0)(1,0)(2,0)"},
    // From the target backwards left is preferred to right, right to up, up to down.
    {"WalkBackPrefersLeftThenRightThenUpThenDown",
     {"###", "###", "###"},
     {0, 0},
     {2, 2},
     "(0,0)(0,1)(0,2)(1,2)(2,2)"},
    {"WalkBackAroundAWall", {"#.#", "###"}, {0, 0}, {2, 0}, "(0,0)(0,1)(1,1)(2,1)(2,0)"},
    // Values of 64 and above are never passable, whatever the mask.
    {"HighValuesNeverPass", {"#@#"}, {0, 0}, {2, 0}, ""},
};

class PathCases : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathCases, FindTheExpectedCells) {
    const PathCase& c = GetParam();
    Grid grid(c.rows);
    GridSearch search;
    std::uint64_t mask = ~std::uint64_t(0) & ~std::uint64_t(1); // everything but ground (0)
    EXPECT_EQ(text(find(search, grid, c.start, c.target, mask)), c.expected);
    EXPECT_EQ(text(plainSearch(grid, mask, c.start, c.target)), c.expected) << "the plain search agrees";
}

INSTANTIATE_TEST_SUITE_P(Grids, PathCases, ::testing::ValuesIn(kPathCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(GridSearch, StepLimitFinds199StepsAndNot200) {
    Grid corridor = snake(40, 260);
    GridSearch search;
    // Cell 199 along the snake (199 steps) and cell 200.
    std::vector<GridCell> along;
    for (std::int32_t y = 0; y < corridor.height; ++y) {
        for (std::int32_t i = 0; i < corridor.width; ++i) {
            std::int32_t x = (y / 2) % 2 == 0 ? i : corridor.width - 1 - i;
            if (corridor.cells[std::size_t(y * corridor.width + x)] == 1) along.push_back({x, y});
        }
    }
    ASSERT_GE(along.size(), 201u);
    EXPECT_EQ(find(search, corridor, {0, 0}, along[199]).size(), 200u);
    EXPECT_TRUE(find(search, corridor, {0, 0}, along[200]).empty());
    EXPECT_EQ(find(search, corridor, {0, 0}, along[150]).size(), 151u) << "kept waves answer a nearer target";
}

TEST(GridSearch, AWaveOfMoreThan200CellsCutsTheSearch) {
    // An open field: from a central start the waves pass 200 cells at distance 50, the cells of a wave not
    // expanded before the next one is full leave the search, and targets well within 199 steps are missed.
    Grid field(201, 201, 1);
    GridSearch search;
    EXPECT_EQ(find(search, field, {100, 100}, {100, 140}).size(), 41u);
    int missed = 0;
    for (std::int32_t y = 0; y < 201; y += 8) {
        for (std::int32_t x = 0; x < 201; x += 8) {
            std::vector<GridCell> path = find(search, field, {100, 100}, {x, y});
            ASSERT_EQ(text(path), text(plainSearch(field, kRoad, {100, 100}, {x, y}))) << x << "," << y;
            missed += path.empty() && std::abs(x - 100) + std::abs(y - 100) <= 199;
        }
    }
    EXPECT_GT(missed, 0);
}

TEST(GridSearch, KeptWavesGiveTheSameAnswersAsAFreshSearch) {
    std::mt19937 random(7);
    for (int round = 0; round < 30; ++round) {
        std::int32_t w = 5 + std::int32_t(random() % 60), h = 5 + std::int32_t(random() % 60);
        Grid grid(w, h, 0);
        std::uint32_t density = 50 + random() % 40;
        for (auto& cell : grid.cells) cell = (random() % 100) < density ? 1 : std::uint8_t(random() % 3 * 2);
        GridSearch kept;
        GridCell start{std::int32_t(random() % w), std::int32_t(random() % h)};
        for (int query = 0; query < 60; ++query) {
            if (query % 15 == 14) start = {std::int32_t(random() % w), std::int32_t(random() % h)};
            if (query % 20 == 19) grid.set(std::int32_t(random() % w), std::int32_t(random() % h), 1);
            GridCell target{std::int32_t(random() % w), std::int32_t(random() % h)};
            std::uint64_t mask = query % 25 == 24 ? (kRoad | 1u << 2) : kRoad;
            ASSERT_EQ(text(find(kept, grid, start, target, mask)),
                      text(plainSearch(grid, mask, start, target)))
                << "round " << round << " query " << query;
        }
    }
}

TEST(GridSearch, ManyNewStartsStayCorrectAcrossGenerations) {
    // Reached marks are per start; after a few hundred starts they are cleared and counted afresh.
    Grid grid({"#####", "#.#.#", "#####"});
    GridSearch search;
    for (int i = 0; i < 700; ++i) {
        GridCell start{(i % 3) * 2, (i / 3) % 2 * 2};
        GridCell target{4 - start.x, 2 - start.y};
        ASSERT_EQ(text(find(search, grid, start, target)), text(plainSearch(grid, kRoad, start, target)))
            << i;
    }
}

TEST(GridSearch, AChangedCellIsSeenThroughTheRevision) {
    Grid grid({"#####"});
    GridSearch search;
    EXPECT_EQ(find(search, grid, {0, 0}, {4, 0}).size(), 5u);
    grid.set(2, 0, 0);
    EXPECT_TRUE(find(search, grid, {0, 0}, {4, 0}).empty());
    grid.set(2, 0, 1);
    EXPECT_EQ(find(search, grid, {0, 0}, {4, 0}).size(), 5u);
}

TEST(GridSearch, EmptyGridHasNoPath) {
    GridSearch search;
    EXPECT_FALSE(search.find(GridView{}, kRoad, {0, 0}, {0, 0}));
    EXPECT_TRUE(search.path().empty());
}

} // namespace
