// The stream functions of the script API: primitives, text, buffers and whole components read from and
// written to any component with IInputStream / IOutputStream, in the byte formats of
// persistence/stream_formats.h.
#include "persistence/persistence_classes.h"

#include "binding/binding.h"
#include "binding/global_functions.h"
#include "component/stream_interfaces.h"
#include "persistence/stream_formats.h"
#include "script/script_api.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace {

template <class T> T readPrimitive(IAbstract* stream, int width) {
    return withInterface<IInputStream>(stream, T(0), [width](IInputStream* input) {
        std::uint32_t value = 0;
        qx::readSimple(input, value, width);
        if constexpr (std::is_same_v<T, bool>) {
            return value != 0;
        } else {
            return static_cast<T>(value);
        }
    });
}

void writePrimitive(IAbstract* stream, std::uint32_t value, int width) {
    withInterface<IOutputStream>(stream,
                                 [&](IOutputStream* output) { qx::writeSimple(output, value, width); });
}

// writeBuffer reads its text raw, with its real length, since a buffer may hold zero bytes.
SQInteger writeBuffer(HSQUIRRELVM v) {
    if (sq_gettop(v) < 4) {
        return sq_throwerror(v, "wrong number of parameters");
    }
    IAbstract* stream = componentArgument(v, 2);
    const SQChar* text = "";
    SQInteger length = 0;
    if (sq_gettype(v, 3) == OT_STRING && SQ_SUCCEEDED(sq_getstring(v, 3, &text))) {
        length = sq_getsize(v, 3);
    } else {
        reportBindingError(BindingMessage::TypeError);
        text = "";
    }
    SQInteger count = 0;
    binding_detail::readInteger(v, 4, count);
    withInterface<IOutputStream>(stream, [&](IOutputStream* output) {
        qx::writeBuffer(output, std::string_view(text, static_cast<std::size_t>(length)), count);
    });
    return 0;
}

void installStreamFunctions(HSQUIRRELVM v) {
    sq_pushroottable(v);
    const SQInteger root = sq_gettop(v);
    bindFunction(
        v, root, "readComponent", +[](IAbstract* stream, IAbstract* c) {
            return withInterface<IInputStream>(stream, false, [&](IInputStream* input) {
                return withInterface<IReadable>(c, false, [&](IReadable* i) { return i->ReadFrom(input); });
            });
        });
    bindFunction(
        v, root, "readChars", +[](IAbstract* stream, SQInteger count) {
            return withInterface<IInputStream>(stream, std::string(), [&](IInputStream* input) {
                std::string text;
                qx::readChars(input, count, text);
                return text;
            });
        });
    bindFunction(
        v, root, "readInt", +[](IAbstract* s) { return readPrimitive<std::int32_t>(s, 4); });
    bindFunction(
        v, root, "readShort", +[](IAbstract* s) { return readPrimitive<std::int16_t>(s, 2); });
    bindFunction(
        v, root, "readUnsignedShort", +[](IAbstract* s) { return readPrimitive<std::uint16_t>(s, 2); });
    bindFunction(
        v, root, "readByte", +[](IAbstract* s) { return readPrimitive<std::int8_t>(s, 1); });
    bindFunction(
        v, root, "readUnsignedByte", +[](IAbstract* s) { return readPrimitive<std::uint8_t>(s, 1); });
    bindFunction(
        v, root, "readBool", +[](IAbstract* s) { return readPrimitive<bool>(s, 1); });
    bindFunction(
        v, root, "readString", +[](IAbstract* stream) {
            return withInterface<IInputStream>(stream, std::string(), [&](IInputStream* input) {
                std::string text;
                qx::readString(input, text);
                return text;
            });
        });
    bindFunction(
        v, root, "writeComponent", +[](IAbstract* stream, IAbstract* c) {
            return withInterface<IOutputStream>(stream, false, [&](IOutputStream* output) {
                return withInterface<IWriteable>(c, false, [&](IWriteable* i) { return i->WriteTo(output); });
            });
        });
    bindFunction(
        v, root, "writeChars", +[](IAbstract* stream, std::string_view text, SQInteger count) {
            withInterface<IOutputStream>(stream,
                                         [&](IOutputStream* output) { qx::writeChars(output, text, count); });
        });
    bindRawFunction(v, root, "writeBuffer", &writeBuffer);
    bindFunction(
        v, root, "writeInt",
        +[](IAbstract* s, SQInteger value) { writePrimitive(s, static_cast<std::uint32_t>(value), 4); });
    bindFunction(
        v, root, "writeShort",
        +[](IAbstract* s, SQInteger value) { writePrimitive(s, static_cast<std::uint32_t>(value), 2); });
    bindFunction(
        v, root, "writeByte",
        +[](IAbstract* s, SQInteger value) { writePrimitive(s, static_cast<std::uint32_t>(value), 1); });
    bindFunction(
        v, root, "writeBool", +[](IAbstract* s, bool value) { writePrimitive(s, value ? 1u : 0u, 1); });
    bindFunction(
        v, root, "writeString", +[](IAbstract* stream, std::string_view text) {
            withInterface<IOutputStream>(stream,
                                         [&](IOutputStream* output) { qx::writeString(output, text); });
        });

    sq_poptop(v);
}

} // namespace

void registerPersistenceScriptApi(ScriptApi& api) {
    api.add(&installStreamFunctions);
}
