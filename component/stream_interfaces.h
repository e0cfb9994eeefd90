#pragma once
// Byte streams and the components that persist themselves through them or load from files.

#include <cstdint>

#include "component/component_ref.h"

// A source of bytes.
class IInputStream : public virtual IAbstract {
public:
    static constexpr char Name[] = "IInputStream";
    static constexpr InterfaceId ID{Name};

    // Reads up to `count` bytes into `buffer`; returns the number read (short at the end). A null buffer
    // skips up to `count` bytes.
    virtual std::int32_t Read(void* buffer, std::int32_t count) = 0;
    // The number of bytes the stream can still deliver, or -1 when it cannot tell. Readers check lengths
    // taken from the stream against it before they allocate.
    virtual std::int64_t Available() { return -1; }
};

// A sink of bytes.
class IOutputStream : public virtual IAbstract {
public:
    static constexpr char Name[] = "IOutputStream";
    static constexpr InterfaceId ID{Name};

    // Writes `count` bytes from `buffer`; returns the number written.
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
};

// A component that restores its state from a stream.
class IReadable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IReadable";
    static constexpr InterfaceId ID{Name};

    virtual bool ReadFrom(IInputStream* stream) = 0;
};

// A component that writes its state to a stream.
class IWriteable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IWriteable";
    static constexpr InterfaceId ID{Name};

    virtual bool WriteTo(IOutputStream* stream) = 0;
};

// A resource loaded from a file of the resource tree.
class ILoadable : public virtual IAbstract {
public:
    static constexpr char Name[] = "ILoadable";
    static constexpr InterfaceId ID{Name};

    virtual bool LoadFromFile(const char* path) = 0;
};

// A component saved to a file (exposed by no engine class).
class ISaveable : public virtual IAbstract {
public:
    static constexpr char Name[] = "ISaveable";
    static constexpr InterfaceId ID{Name};

    virtual bool SaveToFile(const char* path) = 0;
};

// A component that can make an independent copy of itself.
class ICloneable : public virtual IAbstract {
public:
    static constexpr char Name[] = "ICloneable";
    static constexpr InterfaceId ID{Name};

    // A new component (the caller's reference), or null.
    virtual ComponentRef<> Clone() = 0;
};
