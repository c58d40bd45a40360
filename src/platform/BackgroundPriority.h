#pragma once

// Lowers the calling thread's scheduling priority (its nice value, which Linux keeps
// per thread) to ten steps below the window's thread, for the work of a batch: reading photos in, building paths, writing.
// Those threads keep every core busy for minutes; at the window's own priority they
// take turns with the main thread, which then waits for a core for tens of
// milliseconds at a time and the window stutters. Lowered, they still have every
// core the window does not use, so a run takes as long as before.
//
// Once per thread: later calls on a lowered thread do nothing. A nice value can be
// raised by anyone and never lowered again without privileges, so a pool's threads
// stay lowered for as long as they live: call it only on threads that do nothing
// but such work.
void lowerThisThreadToBackgroundPriority();
