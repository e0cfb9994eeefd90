// kd_window.h — the game window and its input devices.
// Included by kd.h; do not include directly.
#pragma once
