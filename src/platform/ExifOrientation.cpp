#include "platform/ExifOrientation.h"

#include <QTransform>

QImage ExifOrientation::upright(const QImage& image, int orientation)
{
    // Each case undoes how the camera stored the picture, so row 0 ends up at the top
    // and column 0 on the left as the viewer sees it.
    switch (orientation) {
    case 2: // mirrored left to right
        return image.mirrored(true, false);
    case 3: // upside down
        return image.mirrored(true, true);
    case 4: // mirrored top to bottom
        return image.mirrored(false, true);
    case 5: // mirrored along the main diagonal
        return image.transformed(QTransform().rotate(90)).mirrored(true, false);
    case 6: // needs a quarter turn clockwise
        return image.transformed(QTransform().rotate(90));
    case 7: // mirrored along the other diagonal
        return image.transformed(QTransform().rotate(90)).mirrored(false, true);
    case 8: // needs a quarter turn counter-clockwise
        return image.transformed(QTransform().rotate(270));
    default:
        return image;
    }
}
