#pragma once
// `GridSearch`: the breadth-first wave search of the grid router, over a grid handed in explicitly (no
// engine needed).
//
// Rules of the search (what callers may rely on):
// - A cell is passable when its value v is below 64 and bit v of the pass mask is set.
// - Cells are addressed by index y * width + x; coordinates outside [0, width * height) are outside the
//   grid and never passable. Coordinates alias like the pass map's: (width, 0) is the cell (0, 1).
// - Waves grow from the start cell in 4-neighbour order left, right, up, down. A wave never holds more than
//   200 cells: once the wave being built is full, the cells of the current wave not yet expanded are not
//   expanded. The search stops at wave 200, so a path has at most 199 steps (200 cells).
// - The path is walked back from the target: each step goes to the first neighbour, in the order left,
//   right, up, down, reached one wave earlier.
//
// Speed: the wave state is kept between searches. A later search from the same start over the same grid
// (same cells, size, revision and mask) continues the waves where the earlier one stopped instead of starting
// again, so dragging a road end or trying every border cell of an area costs a walk back per target. Cells
// are marked reached by a generation stamp, so a new start clears nothing; nothing is allocated per search
// once the arrays fit the grid.

#include <array>
#include <cstdint>
#include <vector>

// A grid as the search sees it; `revision` changes whenever a cell value changes.
struct GridView {
    std::int32_t width = 0;
    std::int32_t height = 0;
    const std::uint8_t* cells = nullptr;
    std::uint32_t revision = 0;
};

struct GridCell {
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const GridCell&) const = default;
};

class GridSearch {
public:
    // The limits of a search: cells per wave and waves (so at most 199 steps).
    static constexpr std::int32_t kWaveWidth = 200;
    static constexpr std::int32_t kWaveCount = 200;

    GridSearch();

    // Finds the path from `start` to `target`; false when there is none (either end outside the grid or not
    // passable, the target not reached within the limits, or no memory for the grid's arrays). On success
    // path() holds the cells from start to target.
    bool find(const GridView& grid, std::uint64_t passMask, GridCell start, GridCell target);

    // The cells of the last successful search, start first; empty after a failed one.
    const std::vector<GridCell>& path() const { return m_path; }

    // Whether the cell (x, y) is passable under the mask (outside the grid: no).
    static bool passable(const GridView& grid, std::uint64_t passMask, std::int64_t x, std::int64_t y);

    // Forgets the kept waves, so the next search starts afresh.
    void reset() { m_valid = false; }

private:
    bool prepare(const GridView& grid, std::uint64_t passMask, std::int32_t startIndex);
    // Runs the waves on until the cell `targetIndex` is reached or the search ends; whether it was reached.
    bool advanceTo(std::int32_t targetIndex);
    // Builds the next wave from the current one and makes it current.
    void expandWave();
    void walkBack(std::int32_t targetIndex);

    bool reached(std::int32_t index) const { return (m_stamp[std::size_t(index)] >> 8u) == m_generation; }
    std::int32_t waveOf(std::int32_t index) const { return m_stamp[std::size_t(index)] & 0xFF; }

    // Per cell: the generation that reached it (high 8 bits) and its wave number (low 8 bits). Generations
    // restart (and the stamps are cleared) every 255 new starts.
    std::vector<std::uint16_t> m_stamp;
    std::uint32_t m_generation = 0;

    // The key of the kept waves.
    bool m_valid = false;
    GridView m_grid;
    std::uint64_t m_mask = 0;
    std::int32_t m_start = -1;
    std::array<std::uint8_t, 256> m_passable{};

    // Wave state: cells packed as x | y << 16.
    std::array<std::uint32_t, kWaveWidth> m_current{};
    std::array<std::uint32_t, kWaveWidth> m_next{};
    std::int32_t m_currentSize = 0;
    std::int32_t m_wave = 1; // the wave number the next expansion gives
    bool m_finished = false;

    std::vector<GridCell> m_path;
};
