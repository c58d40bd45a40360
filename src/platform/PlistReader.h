#pragma once

#include <QString>
#include <QXmlStreamReader>

class QIODevice;

// A pull reader for XML property lists that never holds more than the value in
// hand, so a list of 100,000 photos costs no tree in memory.
//
// The reader always stands on one value. readRoot() moves onto the document's
// root value. On a dictionary, nextKey() moves onto each value in turn; on an
// array, nextItem() does. A value is finished by reading it (readText()), by
// skipping it (skip()), or, for a container, by walking it to its end.
//
//     PlistReader reader(&file);
//     if (reader.readRoot() && reader.kind() == PlistReader::Kind::Dict) {
//         QString key;
//         while (reader.nextKey(&key))
//             key == "Name" ? name = reader.readText() : reader.skip();
//     }
//     if (reader.hasError()) ...
class PlistReader {
public:
    enum class Kind { Dict, Array, String, Integer, Real, Boolean, Date, Data, Unknown };

    explicit PlistReader(QIODevice* device);

    // False when the document is no property list or holds no value.
    bool readRoot();
    // The kind of the value the reader stands on.
    Kind kind() const;

    // On a dictionary: moves onto the next key's value; false at the dictionary's end or on an error.
    bool nextKey(QString* key);
    // On an array: moves onto the next item; false at the array's end or on an error.
    bool nextItem();

    // The text of a plain value ("true" or "false" for a Boolean); a container is skipped and reads as "".
    QString readText();
    void skip();

    bool hasError() const { return m_xml.hasError(); }
    // Where and why reading failed, for a log line or a message.
    QString errorString() const;

private:
    QXmlStreamReader m_xml;
};
