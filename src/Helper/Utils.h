#pragma once

#include <QDateTime>
#include <QImage>
#include <QSize>
#include <QString>
#include <QVariantMap>

#include <memory>

class DateTimeConfiguration;

// The shared utility object. It holds no state: every operation works on its
// arguments alone, so one instance serves every thread. Each group of operations
// lives in its own source file (named beside each section) so that dates, texts
// and images can grow without touching one another.
class Utils {
public:
    static Utils& sharedUtils();

    // ---- Dates: the date-adjustment engine and date texts (UtilsDates.cpp) ----

    // ---- Thumbnails, pixel sizes, image-property dictionary (UtilsImages.cpp) ----

    // ---- Image saving and orientation (UtilsImageSaving.cpp) ----

    // ---- Texts (UtilsText.cpp) ----

private:
    Utils() = default;
};
