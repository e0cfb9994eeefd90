#include "math/integral_f.h"

#include <algorithm>

#include "platform/kd.h"

void IntegralF::SetIntegralSize(std::int32_t n) {
    if (n <= 0) {
        n = 1;
    } else if (n > MaxIntegralSize) {
        logWarning("IntegralF", "window size %d is capped to %d", n, MaxIntegralSize);
        n = MaxIntegralSize;
    }
    m_size = n;
}

void IntegralF::PushValue(float value) {
    if (m_count > 0) {
        dropOldest();
    }
    // After a shrink the window may still hold more than N - 1 values; the new value must stay.
    while (m_count > m_size - 1) {
        dropOldest();
    }
    if (capacity() < m_size) {
        // Linearise into a buffer of the new size; this is the only allocation.
        std::vector<float> ring(static_cast<std::size_t>(m_size));
        for (std::int32_t i = 0; i < m_count; ++i) {
            ring[static_cast<std::size_t>(i)] = at(i);
        }
        m_ring.swap(ring);
        m_first = 0;
    }
    while (m_count < m_size) {
        append(value);
    }
}

float IntegralF::GetAverageValue() const {
    return m_count == 0 ? 0.0f : GetIntegralValue() / static_cast<float>(m_count);
}

float IntegralF::GetIntegralValue() const {
    float sum = 0.0f;
    for (std::int32_t i = 0; i < m_count; ++i) {
        sum += at(i);
    }
    return sum;
}

void IntegralF::Clear() {
    m_first = 0;
    m_count = 0;
}

void IntegralF::dropOldest() {
    m_first = (m_first + 1) % capacity();
    --m_count;
}

void IntegralF::append(float value) {
    m_ring[static_cast<std::size_t>((m_first + m_count) % capacity())] = value;
    ++m_count;
}
