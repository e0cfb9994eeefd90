#pragma once
// The persistence layer's part of the engine: the factories of its classes (`File`, `Blob`) for the component
// registry, and its script functions for the script host: the stream functions readComponent, readChars,
// readInt, readShort, readUnsignedShort, readByte, readUnsignedByte, readBool, readString, writeComponent,
// writeChars, writeBuffer, writeInt, writeShort, writeByte, writeBool and writeString (byte formats in
// persistence/stream_formats.h). Each is called once at start-up, before scripts run; calling one again
// changes nothing.
//
// A stream function given a component without IInputStream / IOutputStream (or, for readComponent and
// writeComponent, a component without IReadable / IWriteable) writes "can't cast to %s" and answers its
// neutral result (0, false, "").

class ComponentRegistry;
class ScriptApi;

void registerPersistenceClasses(ComponentRegistry& registry);
void registerPersistenceScriptApi(ScriptApi& api);
