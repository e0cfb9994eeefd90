#pragma once
// `IntegralF`: a moving window over the last N pushed floats (N starts at 1), answering their sum
// and average. The window lives in a ring buffer that only reallocates when N changes, so pushing
// values every frame does not allocate. The copy routine of the script class must copy it as a
// C++ object (it owns its buffer).

#include <cstdint>
#include <vector>

class IntegralF {
public:
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "IntegralF";

    // Largest accepted window; a script asking for more gets this with a warning, rather than one
    // allocation of its whole request on the next push.
    static constexpr std::int32_t MaxIntegralSize = 65536;

    // Sets N. N <= 0 becomes 1; N above MaxIntegralSize is capped. Values already held are kept
    // until the next push.
    void SetIntegralSize(std::int32_t n);
    // Drops the oldest value (and any beyond N - 1 after a shrink), then appends value until the
    // window holds N values; the first push therefore fills the whole window with it.
    void PushValue(float value);
    // The sum divided by the number of values; 0 when empty.
    float GetAverageValue() const;
    // The sum of the values, oldest first; 0 when empty.
    float GetIntegralValue() const;
    // Removes every value; N is kept.
    void Clear();

    std::int32_t size() const { return m_size; }
    std::int32_t count() const { return m_count; }
    // The i-th value, oldest first.
    float at(std::int32_t i) const { return m_ring[static_cast<std::size_t>((m_first + i) % capacity())]; }

private:
    std::int32_t capacity() const { return static_cast<std::int32_t>(m_ring.size()); }
    void dropOldest();
    void append(float value);

    std::int32_t m_size = 1;
    std::vector<float> m_ring;
    std::int32_t m_first = 0;
    std::int32_t m_count = 0;
};
