#include "batch/intake/PhotoAcceptance.h"

#include <gtest/gtest.h>

TEST(PhotoAcceptance, takesTheTextAfterTheLastDotOfTheLastComponent)
{
    EXPECT_EQ(PhotoAcceptance::extensionOf("/a/b.c/photo.tar.JPG"), "JPG");
    EXPECT_EQ(PhotoAcceptance::extensionOf("/a/b.c/README"), "");
    EXPECT_EQ(PhotoAcceptance::extensionOf("/a/name."), "");
    EXPECT_EQ(PhotoAcceptance::extensionOf("/a/.jpg"), "jpg");
}

TEST(PhotoAcceptance, acceptsImageTypesWhateverTheCaseOfTheirExtension)
{
    PhotoAcceptance rules;
    for (const char* path : { "/p/a.jpg", "/p/a.JPG", "/p/a.jpeg", "/p/a.tif", "/p/a.TIFF", "/p/a.png", "/p/a.heic",
             "/p/a.CR2", "/p/a.nef", "/p/a.dng", "/p/.jpg" })
        EXPECT_EQ(rules.typeVerdict(path), PhotoVerdict::Accepted) << path;
}

TEST(PhotoAcceptance, refusesWhatIsNoImage)
{
    PhotoAcceptance rules;
    for (const char* path : { "/p/a.txt", "/p/a.mov", "/p/README", "/p/a.", "/p/a.xmp" })
        EXPECT_EQ(rules.typeVerdict(path), PhotoVerdict::NotAnImage) << path;
}

TEST(PhotoAcceptance, letsTheAdditionalExtensionsPassOnlyAsWritten)
{
    PhotoAcceptance rules;
    for (const char* path : { "/p/a.ptif", "/p/a.PTIF", "/p/a.jpc", "/p/a.JPC", "/p/a.p7", "/p/a.UI", "/p/a.pgm" })
        EXPECT_EQ(rules.typeVerdict(path), PhotoVerdict::Accepted) << path;
    // Mixed case is no additional extension: it passes only as an image type.
    EXPECT_EQ(rules.typeVerdict("/p/a.PtIf") == PhotoVerdict::Accepted, rules.isImageExtension("PtIf"));
    EXPECT_EQ(rules.typeVerdict("/p/a.Ui") == PhotoVerdict::Accepted, rules.isImageExtension("Ui"));
}

TEST(PhotoAcceptance, alwaysRefusesEpsPctAndPpmAndTheOtherUnsupportedTypes)
{
    PhotoAcceptance rules;
    for (const char* path : { "/p/a.eps", "/p/a.EPS", "/p/a.Eps", "/p/a.pct", "/p/a.PCT", "/p/a.ppm", "/p/a.PPM",
             "/p/a.gif", "/p/a.BMP", "/p/a.webp", "/p/a.arw", "/p/a.ORF", "/p/a.crw", "/p/a.ico" })
        EXPECT_EQ(rules.typeVerdict(path), PhotoVerdict::Unsupported) << path;
    EXPECT_EQ(PhotoAcceptance::additionalImageExtensions().size(), 20);
    EXPECT_EQ(PhotoAcceptance::unsupportedImageExtensions().size(), 31);
}

TEST(PhotoAcceptance, appliesAFileTypeFilterOtherThanAllCaseSensitively)
{
    PhotoAcceptance rules(QStringLiteral(".jpg"));
    EXPECT_EQ(rules.typeVerdict("/p/a.jpg"), PhotoVerdict::Accepted);
    EXPECT_EQ(rules.typeVerdict("/p/a.JPG"), PhotoVerdict::FilteredOut);
    EXPECT_EQ(rules.typeVerdict("/p/a.txt"), PhotoVerdict::NotAnImage);
}
