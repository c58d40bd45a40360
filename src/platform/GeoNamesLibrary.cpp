#include "platform/GeoNamesLibrary.h"

std::mutex& geonamesLibraryMutex()
{
    static std::mutex mutex;
    return mutex;
}
