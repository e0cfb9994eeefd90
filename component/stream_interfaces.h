#pragma once
// Byte streams and the components that persist themselves through them or load from files.
// Conventions of the catalogue: component/engine_interfaces.h. Stream formats are little-endian.

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

    // Writes `count` bytes from `buffer`; returns the number written (short when the sink is full or
    // failed; 0 for a null buffer or count ≤ 0).
    virtual std::int32_t Write(const void* buffer, std::int32_t count) = 0;
};

// A component that restores its state from a stream.
class IReadable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IReadable";
    static constexpr InterfaceId ID{Name};

    // Replaces the component's state by what the stream holds. False on a short, malformed or
    // out-of-range stream (logged); the component is then left consistent (each class says whether
    // it keeps its old state or ends empty), never holding records that point outside its data.
    virtual bool ReadFrom(IInputStream* stream) = 0;
};

// A component that writes its state to a stream.
class IWriteable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IWriteable";
    static constexpr InterfaceId ID{Name};

    // Appends the component's state to the stream. False when the stream takes fewer bytes than
    // written or the state cannot be represented in the format (logged).
    virtual bool WriteTo(IOutputStream* stream) = 0;
};

// A resource loaded from a file of the resource tree.
class ILoadable : public virtual IAbstract {
public:
    static constexpr char Name[] = "ILoadable";
    static constexpr InterfaceId ID{Name};

    // Loads from a path of the resource tree (language folders, loose files, archives). False
    // (logged) when the file is missing or malformed; the component then holds nothing.
    virtual bool LoadFromFile(const char* path) = 0;
};

// A component saved to a file (exposed by no engine class).
class ISaveable : public virtual IAbstract {
public:
    static constexpr char Name[] = "ISaveable";
    static constexpr InterfaceId ID{Name};

    // False on failure.
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
