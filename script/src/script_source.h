// The text of a script file as the compiler reads it: byte-order marks recognised, UTF-16 turned into UTF-8
// (the VM's strings are 8-bit and the engine's text is UTF-8), compiled closures told apart.
#pragma once

#include <string>
#include <string_view>

enum class ScriptSourceKind {
    Text,            // compile `text`
    CompiledClosure, // load the original bytes as a compiled closure
    BadEncoding,     // EF BB followed by anything but BF: "Unrecognozed ecoding"
    ShortRead,       // EF BB and nothing more: "io error"
};

struct ScriptSource {
    ScriptSourceKind kind = ScriptSourceKind::Text;
    std::string text; // UTF-8 or 8-bit text without its byte-order mark (Text only)
};

// Looks at the first bytes: FA FA compiled closure; EF BB BF UTF-8; FF FE UTF-16 little-endian; FE FF UTF-16
// big-endian; anything else 8-bit text taken as it is. In UTF-16, an odd last byte is dropped and an unpaired
// surrogate becomes U+FFFD.
ScriptSource decodeScriptSource(std::string_view bytes);
