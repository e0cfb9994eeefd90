// The deterministic demo mode, for tests and unattended demos. Three environment variables, each optional:
//
//   HH_FIXED_STEP_MS=N   every frame advances game time by exactly N ms (scaled by the update speed as
//   usual),
//                        and frames follow each other as fast as they are drawn,
//                        whatever the wall clock says, so a run plays the same on a fast and a slow machine;
//   HH_REPLAY=PATH       a replay file (a path of the machine, relative to the working folder or absolute)
//                        whose lines inject input at given frames;
//   HH_QUIT_AFTER=N      posts a quit event after frame N.
//
// Replay lines are "<frame> <command> <arguments>"; '#' starts a comment. Frames count from 1, one per frame
// timer tick. Commands:
//   move X Y / press X Y [BUTTONS] / release X Y   pointer moves and buttons in window pixels (BUTTONS is the
//                                                 mask after the change, default 1: the left button)
//   wheel DY X Y                                  wheel turned DY units (120 a notch, positive away)
//   key CODE 1|0 [alt]                            key CODE (a key code, 0x.. allowed) pressed or released
//   char CODE                                     a typed character (UTF-16 code unit)
//   pad INDEX 1|0                                 a joystick input index (hat or button) on or off
//   focus 1|0                                     the window gains or loses the focus
//   close                                         the window's close button
//   script TEXT                                   runs TEXT as script source in the root table
//   quit                                          posts a quit event
// Input events of frame N are queued before frame N is updated and drawn and handled right after it; a
// script line runs at once, before the frame's update.
#pragma once

class IDisplay;
class ISystem;

// Reads the environment; when any of the variables is set, takes over the System object's frame timer so
// that each tick counts a frame, injects that frame's replay events and then updates and draws it. False
// only when a replay file was named but could not be read (the run goes on without it).
bool startDemoDriver(ISystem* system, IDisplay* display);

// Forgets the replay; called before the system object shuts down.
void stopDemoDriver();
