#pragma once
// `ScriptApi`: what each engine layer adds to a new VM, in the order the layers were handed in.
//
// The host sets up only what it owns itself (the standard libraries with the engine's variants, the number
// constants INFINITY, INT_MAX, INT_MIN, FLT_MAX, FLT_MIN, the timer functions setTimer and cancelTimer, and
// `ARGS`); every class, constant and global function of a layer above it comes from that layer's installer,
// the way each layer hands its component factories to the ComponentRegistry. kdMain hands in every layer;
// a test hands in the layers it exercises.
//
// Single-threaded, like the host. Installers are plain functions, so the list holds no state of its own.

#include "squirrel/squirrel.h"

#include <vector>

class ScriptApi {
public:
    // Stores a layer's globals into the VM's root table; it must leave the VM stack as it found it.
    using Install = void (*)(HSQUIRRELVM v);
    // Drops what a layer keeps of a VM (native closures cached between calls) while the VM can still take
    // it back.
    using Release = void (*)();

    // The process's one list.
    static ScriptApi& instance();

    // Adds a layer: ScriptHost::create runs `install` after the host's own globals and before `ARGS`, in the
    // order the layers were added; ScriptHost::destroy runs `release` (when given) before it closes the VM,
    // in reverse order. Adding an installer that is already listed does nothing.
    void add(Install install, Release release = nullptr);
    // Whether `install` is listed.
    bool contains(Install install) const;

    // Runs every installer on v, in order (the host calls it).
    void installAll(HSQUIRRELVM v) const;
    // Runs every release step, the last added first (the host calls it).
    void releaseAll() const;

private:
    struct Layer {
        Install install;
        Release release;
    };
    std::vector<Layer> m_layers;
};
