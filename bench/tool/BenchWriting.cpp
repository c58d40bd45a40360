#include "BenchWriting.h"

int runWriting(const BenchArguments&, QTextStream&, QTextStream& err)
{
    err << "velloran-bench: the metadata writer is not part of this build yet\n";
    return 2;
}
