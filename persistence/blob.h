#pragma once
// `Blob`: a growable byte buffer in memory, read and written as a stream, which persists itself as a record.
//
// One position serves reading and writing, and no script method moves it: it returns to 0 only when the blob
// reads its own record (IReadable), so bytes written into a blob are read back by writing the blob into
// another stream and reading it from there.
//
// Record (IWriteable / IReadable): the length as a little-endian integer in header-size bytes (nothing when
// the header size is 0), then the bytes. The header size is 0…4 (default 4); a length that does not fit in
// it makes the write fail without writing anything, so no record is produced that would read back shorter.
// Script form (IScriptSaveable / IScriptLoadable): two lower-case hexadecimal digits per byte.
//
// Script methods: `SetHeaderSize`(size). Lengths stay below 4 GiB; a write beyond that, or one the memory
// cannot hold, writes nothing and answers 0.

#include "binding/binding_script_object.h"
#include "component/script_interfaces.h"
#include "component/stream_interfaces.h"

#include <cstdint>
#include <vector>

class Blob final : public IInputStream,
                   public IOutputStream,
                   public IReadable,
                   public IWriteable,
                   public IScriptLoadable,
                   public IScriptSaveable,
                   public ScriptObjectBase<Blob> {
public:
    static constexpr char ScriptTypeName[] = "Blob";
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override;

    // IInputStream: up to count bytes from the position (a null buffer skips them).
    std::int32_t Read(void* buffer, std::int32_t count) override;
    std::int64_t Available() override;
    // IOutputStream: count bytes at the position; the blob then ends after them.
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    // IReadable / IWriteable: the blob's record.
    bool ReadFrom(IInputStream* stream) override;
    bool WriteTo(IOutputStream* stream) override;
    // IScriptLoadable: a text of hexadecimal digit pairs; false (contents kept) for anything else.
    bool LoadFromScript(const ScriptValue& value) override;
    // IScriptSaveable: the contents as lower-case hexadecimal digit pairs.
    ScriptValue SaveToScript() override;

    // Clamped to 0…4.
    void SetHeaderSize(std::int32_t size);

    const std::vector<std::uint8_t>& data() const { return m_data; }
    std::uint32_t position() const { return m_position; }
    std::int32_t headerSize() const { return m_headerSize; }

private:
    std::vector<std::uint8_t> m_data; // its size is the length
    std::uint32_t m_position = 0;
    std::int32_t m_headerSize = 4;
};
