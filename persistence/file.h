#pragma once
// `File`: a file of the engine's file system (kdFopen: language folders for "res/", the user data folder and
// its crash-safe replacement for "data/") used as a stream.
//
// Closed until `Open` succeeds; closed again by a later `Open`, by Shutdown and by destruction. Closing a
// "data/" file opened for writing commits its new contents; a failed commit is logged with the tag "File".
//
// Script methods: `Open`(path, mode) → bool, mode being a stdio open mode. On failure it logs
// "Can't open %s: %d" (path, platform last error) with the tag "File" and leaves the file closed.

#include "binding/binding_script_object.h"
#include "component/group_interfaces.h"
#include "component/stream_interfaces.h"
#include "platform/kd.h"

#include <cstdint>
#include <string>

class File final : public IInputStream,
                   public IOutputStream,
                   public IShutdownable,
                   public ScriptObjectBase<File> {
public:
    static constexpr char ScriptTypeName[] = "File";
    static const MethodTable& scriptMethods();

    File() = default;
    ~File() override;

    void* QueryInterface(InterfaceId id) override;

    bool Open(const char* path, const char* mode);
    bool isOpen() const { return m_file != nullptr; }

    // IInputStream: count bytes of one byte each; a null buffer seeks count bytes forward (count, or 0 when
    // the seek fails).
    std::int32_t Read(void* buffer, std::int32_t count) override;
    // The file's size minus the position, or -1 when the file system cannot tell.
    std::int64_t Available() override;
    // IOutputStream: the count written.
    std::int32_t Write(const void* buffer, std::int32_t count) override;
    // IShutdownable: closes the file.
    void Shutdown() override;

private:
    void close();

    KDFile* m_file = nullptr;
    std::string m_path; // for the commit failure message
};
