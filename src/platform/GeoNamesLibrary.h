#pragma once

#include <mutex>

// libgeonames keeps its data in shared variants: one caller at a time, whoever calls.
std::mutex& geonamesLibraryMutex();
