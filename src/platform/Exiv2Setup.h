#pragma once

// Prepares exiv2 for use from several threads: XMP parsing gets a lock, BMFF
// (HEIC, CR3) reading is switched on, and exiv2's own log lines go to the
// "velloran.metadata" category. Safe to call any number of times from any
// thread; the first call does the work. The application and the tests call it
// before starting any worker.
void initializeExiv2();
