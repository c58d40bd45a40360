#include "MetadataFuzzInput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

// Inputs the metadata fuzzer once choked on, and a few hand-made ones, go through
// the same path again: read, written in each editing mode, restored. Passing means
// no crash (the sanitizer build also catches leaks and bad reads) and nothing left
// behind in the work folder.

namespace {

void runInput(const QByteArray& bytes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    fuzzMetadataInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()), dir.path());
    EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

} // namespace

TEST(MetadataFuzzRegression, survivesEveryKeptInput)
{
    const QDir regressions(QStringLiteral(VELLORAN_FUZZ_REGRESSIONS_DIR));
    const QStringList names = regressions.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty());
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QFile file(regressions.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        runInput(file.readAll());
    }
}

TEST(MetadataFuzzRegression, survivesAnEmptyAndATinyInput)
{
    runInput(QByteArray());
    runInput(QByteArray("\xff\xd8", 2));
}
