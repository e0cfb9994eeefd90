#include "navigation/grid_search.h"

#include <algorithm>
#include <new>

namespace {

constexpr std::uint32_t kMaxGeneration = 0xFF;

std::uint32_t pack(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint32_t>(x) | static_cast<std::uint32_t>(y) << 16;
}

} // namespace

GridSearch::GridSearch() {
    m_path.reserve(kWaveCount);
}

bool GridSearch::passable(const GridView& grid, std::uint64_t passMask, std::int64_t x, std::int64_t y) {
    std::int64_t index = y * grid.width + x;
    if (grid.cells == nullptr || index < 0 || index >= std::int64_t(grid.width) * grid.height) {
        return false;
    }
    std::uint8_t value = grid.cells[index];
    return value < 64 && (passMask >> value & 1) != 0;
}

bool GridSearch::find(const GridView& grid, std::uint64_t passMask, GridCell start, GridCell target) {
    m_path.clear();
    if (!passable(grid, passMask, start.x, start.y) || !passable(grid, passMask, target.x, target.y)) {
        return false;
    }
    // Both are inside, so the indexes fit 32 bits (the size is at most 32767 x 32767).
    auto startIndex = static_cast<std::int32_t>(std::int64_t(start.y) * grid.width + start.x);
    auto targetIndex = static_cast<std::int32_t>(std::int64_t(target.y) * grid.width + target.x);
    if (!prepare(grid, passMask, startIndex) || !advanceTo(targetIndex)) {
        return false;
    }
    walkBack(targetIndex);
    return true;
}

bool GridSearch::prepare(const GridView& grid, std::uint64_t passMask, std::int32_t startIndex) {
    if (m_valid && m_start == startIndex && m_mask == passMask && m_grid.cells == grid.cells &&
        m_grid.width == grid.width && m_grid.height == grid.height && m_grid.revision == grid.revision) {
        return true;
    }
    m_valid = false;
    std::size_t count = std::size_t(grid.width) * std::size_t(grid.height);
    if (m_stamp.size() != count) {
        try {
            m_stamp.assign(count, 0);
        } catch (const std::bad_alloc&) {
            m_stamp.clear();
            m_stamp.shrink_to_fit();
            return false;
        }
        m_generation = 0;
    }
    if (++m_generation > kMaxGeneration) {
        std::fill(m_stamp.begin(), m_stamp.end(), std::uint16_t(0));
        m_generation = 1;
    }
    for (std::uint32_t v = 0; v < 256; ++v) {
        m_passable[v] = v < 64 && (passMask >> v & 1) != 0;
    }
    m_grid = grid;
    m_mask = passMask;
    m_start = startIndex;

    m_stamp[startIndex] = static_cast<std::uint16_t>(m_generation << 8); // wave 0
    m_current[0] = pack(startIndex % grid.width, startIndex / grid.width);
    m_currentSize = 1;
    m_wave = 1;
    m_finished = false;
    m_valid = true;
    return true;
}

bool GridSearch::advanceTo(std::int32_t targetIndex) {
    // Whole waves at a time: the cells a wave adds after the target are ones the walk back never looks at.
    while (!reached(targetIndex) && !m_finished) {
        expandWave();
    }
    return reached(targetIndex);
}

void GridSearch::expandWave() {
    // Locals only in the loop: the stamp stores could otherwise alias the members.
    const std::int32_t width = m_grid.width;
    const std::int32_t height = m_grid.height;
    const std::uint8_t* cells = m_grid.cells;
    const std::uint8_t* passable = m_passable.data();
    const std::uint32_t generation = m_generation;
    const auto stamp = static_cast<std::uint16_t>(generation << 8 | static_cast<std::uint32_t>(m_wave));
    std::uint16_t* stamps = m_stamp.data();
    const std::uint32_t* current = m_current.data();
    std::uint32_t* next = m_next.data();
    const std::int32_t currentSize = m_currentSize;
    std::int32_t nextSize = 0;

    // A neighbour beyond the border is the cell itself, which is reached already; once the next wave is full
    // the rest of this one is not expanded.
    const auto visit = [&](std::int32_t n, std::int32_t nx, std::int32_t ny) {
        if (passable[cells[n]] && (stamps[n] >> 8u) != generation) {
            stamps[n] = stamp;
            next[nextSize++] = pack(nx, ny);
        }
        return nextSize < kWaveWidth;
    };
    for (std::int32_t i = 0; i < currentSize; ++i) {
        const std::uint32_t cell = current[i];
        const auto x = static_cast<std::int32_t>(cell & 0xFFFF);
        const auto y = static_cast<std::int32_t>(cell >> 16);
        const std::int32_t index = y * width + x;
        if ((x > 0 && !visit(index - 1, x - 1, y)) || (x + 1 < width && !visit(index + 1, x + 1, y)) ||
            (y > 0 && !visit(index - width, x, y - 1)) ||
            (y + 1 < height && !visit(index + width, x, y + 1))) {
            break;
        }
    }
    m_current.swap(m_next);
    m_currentSize = nextSize;
    ++m_wave;
    m_finished = nextSize == 0 || m_wave >= kWaveCount;
}

void GridSearch::walkBack(std::int32_t targetIndex) {
    const std::int32_t width = m_grid.width;
    const std::int32_t height = m_grid.height;
    const std::int32_t steps = waveOf(targetIndex);
    m_path.resize(static_cast<std::size_t>(steps) + 1);
    std::int32_t x = targetIndex % width;
    std::int32_t y = targetIndex / width;
    for (std::int32_t i = steps; i > 0; --i) {
        m_path[static_cast<std::size_t>(i)] = {x, y};
        const std::int32_t index = y * width + x;
        const auto earlier = [&](std::int32_t n) { return reached(n) && waveOf(n) == i - 1; };
        if (x > 0 && earlier(index - 1)) {
            --x;
        } else if (x + 1 < width && earlier(index + 1)) {
            ++x;
        } else if (y > 0 && earlier(index - width)) {
            --y;
        } else if (y + 1 < height) {
            ++y; // the one neighbour left: some neighbour was reached a wave earlier
        }
    }
    m_path[0] = {m_start % width, m_start / width};
}
