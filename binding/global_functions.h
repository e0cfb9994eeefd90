#pragma once
// The global script functions: plain native functions in the root table through which scripts reach the
// engine without knowing a component's class.
//
// Two groups, each registered in its fixed order:
// - the engine group (registerGlobalFunctions): components by class name, quitting, logging, calls of one
//   interface operation on any component, the stream functions (persistence/stream_formats.h for their
//   bytes), update and render calls, time, periodic timers, files and folders, random numbers and angles, the
//   locale;
// - the application group (registerApplicationFunctions): profiler, cursor and tile drawing, UTF-8
//   conversion, promotion links and opening a document with the desktop.
//
// A function given a component without the interface it needs writes "can't cast to %s" (the interface name)
// at the error level followed by the script call stack, and returns its neutral result (null, false, 0, "",
// an empty rectangle, or the matrix whose only non-zero element is its last diagonal one). Arguments convert
// as the binding layer describes (binding/binding.h). Nothing here raises a script error except a call with
// too few arguments.
//
// Functions whose subsystem does not exist yet are registered and neutral: getTime answers 0 until the
// `System` object can tell the game time; TextureFilter_ColorMatrix changes nothing until the drawing layer
// installs its recolouring (setTextureColorFilter). setCursor, enableCursor, fillRectByTile, renderFrame and
// decodeUTF8 are the drawing layer's (graphics/graphics_functions.h), which stores them in the root table
// itself.
//
// Timers: setTimer(interval in ms, closure) starts a periodic platform timer whose events call the closure
// with the root table as `this`; it answers a small integer handle (never a native address, never reused in a
// run) or null for a callback that is not a script closure ("invalid callback type"). cancelTimer(handle)
// stops the timer, removes its event callback and drops the closure; it is safe inside the timer's own
// closure, and an unknown or already cancelled handle does nothing.

#include "squirrel/squirrel.h"

class ITexture;
struct Matrix4;

// Stores the engine group in the root table of v.
void registerGlobalFunctions(HSQUIRRELVM v);
// Stores the application group in the root table of v.
void registerApplicationFunctions(HSQUIRRELVM v);

// The recolouring behind TextureFilter_ColorMatrix, which lives with the textures above this layer; the
// display installs it when it is made. Null removes it.
using TextureColorFilter = bool (*)(ITexture* texture, const Matrix4& matrix);
void setTextureColorFilter(TextureColorFilter filter);

// Cancels every script timer and drops its closure. The VM's owner calls it before it closes the VM, so no
// timer fires into a closed VM.
void cancelAllScriptTimers();
// The number of live script timers.
int liveScriptTimerCount();
