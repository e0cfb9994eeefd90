// Every knob of the VM in one place, with why it exists and what it trades.
#ifndef SQUIRREL_SRC_CONFIG_H
#define SQUIRREL_SRC_CONFIG_H

// A frame addresses at most 255 slots: byte operands name slots and 0xFF means "none".
constexpr int kMaxFuncStackSize = 0xFF;

// Nested entries from native code back into the VM (call, pcall, metamethods, sort comparators...). Each such
// entry recurses on the C stack, so this bounds C stack use; the text "Native stack overflow" is the
// script's.
constexpr int kMaxNativeCalls = 100;

// Script-to-script calls do not recurse in C, so depth is bounded only by memory. These caps turn runaway
// recursion into a "stack overflow" script error long before the host runs out of memory.
constexpr int kMaxCallDepth = 200000;
// Frames the error handler may add beyond kMaxCallDepth, so a stack overflow is still reported.
constexpr int kErrorHandlerFrames = 16;
constexpr int kMaxStackSlots = 1 << 22;

// C stack the compiler's recursive descent may use. Beyond it a script gets the compile error "nesting too
// deep" instead of overflowing the stack: some 5,000 nested parentheses in an optimised build, over 1,000
// in a sanitizer build. A host that compiles on a thread must give it more stack than this.
constexpr long kMaxCompilerStackBytes = 3L << 20;

// Largest string or array the VM builds; beyond it the script gets "out of memory" instead of the host
// thrashing. Both are far beyond anything a game script needs.
constexpr unsigned kMaxStringLength = 1u << 28;
constexpr unsigned kMaxArrayLength = 1u << 26;

// The step budget's charge for work proportional to a size: one step per this many bytes copied, scanned or
// moved (an array element counts as the 16 bytes of its slot). A backward jump or call is one step and takes
// a few nanoseconds; copying 64 bytes takes about as long, so a budget bounds time whatever the script does.
constexpr unsigned kWorkBytesPerStep = 64;
constexpr unsigned kWorkBytesPerElement = 16;

// Dispatch through a table of label addresses (GCC/Clang) instead of a switch: one indirect jump per
// instruction with better branch prediction.
#if defined(__GNUC__) || defined(__clang__)
#define SQ_COMPUTED_GOTO 1
#else
#define SQ_COMPUTED_GOTO 0
#endif

// Debug switch: run the collector's invariant validator after every collection (tests turn it on).
#ifndef SQ_VALIDATE_GC
#define SQ_VALIDATE_GC 0
#endif

#endif
