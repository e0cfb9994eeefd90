#pragma once
// `ClassMask`: selects components by their 32-bit classificator mask. A mask c matches when it
// has every include bit and no exclude bit; the all-zero mask matches everything.

#include <cstdint>

struct ClassMask {
    std::uint32_t include = 0;
    std::uint32_t exclude = 0;

    constexpr bool matches(std::uint32_t classificators) const {
        return (classificators & include) == include && (classificators & exclude) == 0;
    }
};
