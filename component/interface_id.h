#pragma once
// Identity of an interface or of a registrable class: the address of its one name string, never
// the text. Each interface keeps its name in a single process-wide constant; a query passes that
// constant, and comparisons look at addresses only, so a string with the same text at another
// address names nothing.

#include <functional>

template <class Kind> class NameIdentity {
public:
    constexpr NameIdentity() = default;
    constexpr explicit NameIdentity(const char* name) : m_name(name) {}

    // The name text (for logs and scripts); null for the empty identity.
    constexpr const char* name() const { return m_name; }
    constexpr explicit operator bool() const { return m_name != nullptr; }

    friend constexpr bool operator==(NameIdentity a, NameIdentity b) { return a.m_name == b.m_name; }

    // Total order by address (std::less is defined across unrelated objects).
    friend bool operator<(NameIdentity a, NameIdentity b) {
        return std::less<const char*>()(a.m_name, b.m_name);
    }

private:
    const char* m_name = nullptr;
};

struct InterfaceKind;
struct ClassKind;

// Identity of an interface; each interface class carries its own as `ID`.
using InterfaceId = NameIdentity<InterfaceKind>;
// Identity of a registrable component class; the constants live in component/class_names.h.
using ClassId = NameIdentity<ClassKind>;
