#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QString>
#include <QTextStream>
#include <cstdio>

// velloran-noise-jpeg WIDTH HEIGHT OUT.jpg: a JPEG of random noise (the same noise
// on every run) for the bench corpus. Noise defeats the JPEG coder, so the file is
// as large as a camera's photo of a busy scene. Used by bench/make-corpus.sh.
int main(int argc, char** argv)
{
    QTextStream err(stderr);
    if (argc != 4) {
        err << "usage: velloran-noise-jpeg WIDTH HEIGHT OUT.jpg\n";
        return 2;
    }
    bool widthOk = false;
    bool heightOk = false;
    const int width = QString::fromLocal8Bit(argv[1]).toInt(&widthOk);
    const int height = QString::fromLocal8Bit(argv[2]).toInt(&heightOk);
    if (!widthOk || !heightOk || width < 1 || height < 1 || width > 20000 || height > 20000) {
        err << "velloran-noise-jpeg: WIDTH and HEIGHT must be whole numbers from 1 to 20000\n";
        return 2;
    }

    QImage image(width, height, QImage::Format_RGB888);
    QRandomGenerator random(20240601);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        // Whole 32-bit words up to the line's end; lines are 4-byte aligned.
        random.fillRange(line, static_cast<qsizetype>((width * 3 + 3) / 4));
    }
    QImageWriter writer(QString::fromLocal8Bit(argv[3]), "jpeg");
    writer.setQuality(90);
    if (!writer.write(image)) {
        err << "velloran-noise-jpeg: " << writer.errorString() << '\n';
        return 1;
    }
    return 0;
}
