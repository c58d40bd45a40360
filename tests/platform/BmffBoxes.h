#pragma once

#include <QByteArray>

// Boxes of an ISO base media file, assembled for tests.
namespace BmffBoxes {

inline QByteArray bigEndian(quint64 value, int size)
{
    QByteArray bytes = {};
    for (int i = size - 1; i >= 0; --i)
        bytes.append(char((value >> (8 * i)) & 0xff));
    return bytes;
}

inline QByteArray box(const char* type, const QByteArray& payload)
{
    return bigEndian(8 + payload.size(), 4) + type + payload;
}

// A box with a version and flags (0) before its payload.
inline QByteArray fullBox(const char* type, int version, const QByteArray& payload)
{
    return box(type, bigEndian(version, 1) + bigEndian(0, 3) + payload);
}

} // namespace BmffBoxes
