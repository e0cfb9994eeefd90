#pragma once
// `Color`: one 32-bit ARGB word (alpha in bits 24-31, red 16-23, green 8-15, blue 0-7).
// Scripts see the word as a signed 32-bit integer, so opaque colours are negative numbers there.

#include <cstdint>
#include <span>
#include <string>

// A named integer constant of a value class (the colour names, shifts and masks of `Color`).
struct ValueConstant {
    const char* name;
    std::int32_t value;
};

struct Color {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "Color";

    std::uint32_t value = 0xFF000000u; // opaque black

    constexpr Color() = default;
    // The full 32-bit word.
    constexpr explicit Color(std::uint32_t argb) : value(argb) {}
    // Opaque colour; each channel keeps its low 8 bits.
    constexpr Color(std::int32_t r, std::int32_t g, std::int32_t b) : value(pack(0xFF, r, g, b)) {}
    // Each channel keeps its low 8 bits.
    constexpr Color(std::int32_t a, std::int32_t r, std::int32_t g, std::int32_t b)
        : value(pack(a, r, g, b)) {}

    std::int32_t GetValue() const { return static_cast<std::int32_t>(value); }
    void SetValue(std::int32_t argb) { value = static_cast<std::uint32_t>(argb); }

    // Channels as integers 0-255.
    std::int32_t GetA() const { return static_cast<std::int32_t>((value >> AlphaShift) & 0xFF); }
    std::int32_t GetR() const { return static_cast<std::int32_t>((value >> RedShift) & 0xFF); }
    std::int32_t GetG() const { return static_cast<std::int32_t>((value >> GreenShift) & 0xFF); }
    std::int32_t GetB() const { return static_cast<std::int32_t>((value >> BlueShift) & 0xFF); }

    // Channels as floats channel / 255.
    float GetAlpha() const { return static_cast<float>(GetA()) / 255.0f; }
    float GetRed() const { return static_cast<float>(GetR()) / 255.0f; }
    float GetGreen() const { return static_cast<float>(GetG()) / 255.0f; }
    float GetBlue() const { return static_cast<float>(GetB()) / 255.0f; }

    // Class-level: the ARGB word of four channels, each masked to 8 bits, as a script integer.
    static constexpr std::int32_t MakeARGB(std::int32_t a, std::int32_t r, std::int32_t g, std::int32_t b) {
        return static_cast<std::int32_t>(pack(a, r, g, b));
    }

    // "Color(%d, %d, %d, %d)" with alpha, red, green, blue.
    std::string toString() const;

    static constexpr std::int32_t AlphaShift = 24;
    static constexpr std::int32_t RedShift = 16;
    static constexpr std::int32_t GreenShift = 8;
    static constexpr std::int32_t BlueShift = 0;
    static constexpr std::uint32_t AlphaMask = 0xFF000000u;
    static constexpr std::uint32_t RedMask = 0x00FF0000u;
    static constexpr std::uint32_t GreenMask = 0x0000FF00u;
    static constexpr std::uint32_t BlueMask = 0x000000FFu;

    // Shift and mask constants in their registration order (AlphaShift ... BlueMask).
    static std::span<const ValueConstant> ChannelConstants();
    // The 141 named colours in their registration order (AliceBlue ... YellowGreen).
    static std::span<const ValueConstant> NamedColors();

private:
    static constexpr std::uint32_t pack(std::int32_t a, std::int32_t r, std::int32_t g, std::int32_t b) {
        return (static_cast<std::uint32_t>(a & 0xFF) << AlphaShift) |
               (static_cast<std::uint32_t>(r & 0xFF) << RedShift) |
               (static_cast<std::uint32_t>(g & 0xFF) << GreenShift) | static_cast<std::uint32_t>(b & 0xFF);
    }
};
