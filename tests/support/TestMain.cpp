#include "platform/Exiv2Setup.h"
#include "platform/XmpWorkers.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

// One QCoreApplication for the whole run: Qt's plugin lookup, QStandardPaths and
// queued hand-offs all expect one to exist.
int main(int argc, char** argv)
{
    XmpWorkers::start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velloran"));
    QCoreApplication::setApplicationName(QStringLiteral("VelloranTests"));
    initializeExiv2();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The leak checker of the sanitizer build. Here, in the test main, so that every test
// binary carries it.
//
// Thread-local storage is not scanned: the checker's walk over the thread-local blocks
// of libraries loaded later (Qt's image plugins, which a file of unknown content makes
// QImageReader load one after another) crashes with this C library. Not scanning it
// can only report more, never fewer, of our leaks; what it reports of glib's
// thread-local data, and the one allocation libx265's HEVC encoder keeps for the life
// of the process, belong to those libraries. So does the C library's list of libheif's
// dependencies, made when the core opens libheif by name while the tests' own link
// had loaded it already: the list hangs off the loader's record of libheif, which sits
// in memory the checker does not scan.
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options()
{
    return "use_tls=0";
}

extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libx265.so\n"
           "leak:libglib-2.0.so\n"
           "leak:_dl_map_object_deps\n";
}
