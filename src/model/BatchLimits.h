#pragma once

// At most this many photos come in with one adding. The intake walk stops there and
// the limit alert quotes it, so both read it from here.
constexpr int kMaxPhotosPerAdding = 100000;
