#pragma once

// Lowers the calling thread's scheduling priority (its nice value, which Linux
// keeps per thread) to kBackgroundNiceSteps below the window's thread, for the
// work of a batch: reading photos in, building paths, writing. Those threads keep
// every core busy for minutes; at the window's own priority they take turns with
// the main thread, which then waits for a core for tens of milliseconds at a time
// and the window stutters. Lowered, they still have every core the window leaves.
//
// Five steps give the window's thread three times a lowered thread's share of a
// core they both want. Ten would give it nine times, but a batch sharing the
// machine with another busy program of the same session then ran 4.2 times as
// slowly (five steps: 1.7 times); on a machine that is otherwise idle the step
// costs the run nothing.
//
// Once per thread: later calls on a lowered thread do nothing. A nice value can be
// raised by anyone and never lowered again without privileges, so a pool's threads
// stay lowered for as long as they live: call it only on threads that do nothing
// but such work.
inline constexpr int kBackgroundNiceSteps = 5;

void lowerThisThreadToBackgroundPriority();
