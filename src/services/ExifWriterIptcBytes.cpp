#include "services/ExifWriterEditing.h"

#include <QByteArrayView>
#include <QList>
#include <algorithm>
#include <exiv2/exiv2.hpp>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace {

constexpr char kTagMarker = 0x1c;
constexpr qsizetype kLargestStandardSize = 0x7fff;

using DataSetId = std::pair<int, int>;

struct DataSet {
    DataSetId id;
    QByteArray value;
};

// The data sets of an IPTC block as stored, in file order; the walk stops at the
// first byte that starts none.
QList<DataSet> storedDataSetsOf(QByteArrayView block)
{
    QList<DataSet> dataSets;
    qsizetype at = 0;
    while (at + 5 <= block.size() && block[at] == kTagMarker) {
        const DataSetId id { quint8(block[at + 1]), quint8(block[at + 2]) };
        qsizetype size = quint8(block[at + 3]) << 8 | quint8(block[at + 4]);
        at += 5;
        if (size > kLargestStandardSize) {
            // An extended data set: the low bits count the bytes of its size.
            const qsizetype sizeBytes = size & kLargestStandardSize;
            if (sizeBytes > 4 || at + sizeBytes > block.size())
                break;
            size = 0;
            for (qsizetype i = 0; i < sizeBytes; ++i)
                size = size << 8 | quint8(block[at + i]);
            at += sizeBytes;
        }
        if (at + size > block.size())
            break;
        dataSets.append({ id, block.sliced(at, size).toByteArray() });
        at += size;
    }
    return dataSets;
}

std::string keyOf(const DataSetId& id)
{
    return Exiv2::IptcKey(std::uint16_t(id.second), std::uint16_t(id.first)).key();
}

// A datum as exiv2 would write it.
struct Encoded {
    DataSet dataSet;
    bool isDateOrTime = false;
};

// Whether the stored data sets of a key hold what exiv2 read from them: the same
// bytes, but for dates and times, which exiv2 writes in its own form, and for
// empty values, which it may skip.
bool holdTheSame(const QList<DataSet>& stored, const QList<Encoded>& encoded)
{
    QList<const DataSet*> storedValues;
    for (const DataSet& dataSet : stored) {
        if (!dataSet.value.isEmpty())
            storedValues.append(&dataSet);
    }
    QList<const Encoded*> readValues;
    for (const Encoded& datum : encoded) {
        if (!datum.dataSet.value.isEmpty())
            readValues.append(&datum);
    }
    if (storedValues.size() != readValues.size())
        return false;
    for (qsizetype i = 0; i < storedValues.size(); ++i) {
        if (!readValues[i]->isDateOrTime && readValues[i]->dataSet.value != storedValues[i]->value)
            return false;
    }
    return true;
}

void appendDataSet(QByteArray& block, const DataSet& dataSet)
{
    block.append(kTagMarker);
    block.append(char(dataSet.id.first));
    block.append(char(dataSet.id.second));
    const qsizetype size = dataSet.value.size();
    if (size > kLargestStandardSize) {
        block.append(char(0x80));
        block.append(char(4));
        for (int shift = 24; shift >= 0; shift -= 8)
            block.append(char((size >> shift) & 0xff));
    } else {
        block.append(char(size >> 8));
        block.append(char(size & 0xff));
    }
    block.append(dataSet.value);
}

} // namespace

namespace ExifWriterEditing {

// exiv2 reads each IPTC value into its own form and writes that anew: a time
// stored without its offset ("143947") gains one ("143947+0000"), and a data set
// with an empty value can be left out. The block is made here instead, from the
// photo's own: the data sets of a key the edit did not target as they were stored
// where they hold what exiv2 read, the data sets of any other key in their place
// as exiv2 encodes the edited values, a new key's after them; in the order of
// their records.
QByteArray iptcBlockKeepingBytes(
    const Exiv2::IptcData& iptcData, const std::set<std::string>& edited, QByteArrayView originalBlock)
{
    const QList<DataSet> storedDataSets = storedDataSetsOf(originalBlock);
    std::map<std::string, QList<DataSet>> stored;
    for (const DataSet& dataSet : storedDataSets)
        stored[keyOf(dataSet.id)].append(dataSet);

    std::map<std::string, QList<Encoded>> encoded;
    QList<std::string> encodedOrder;
    for (const Exiv2::Iptcdatum& datum : iptcData) {
        QByteArray value(qsizetype(datum.size()), '\0');
        if (!value.isEmpty())
            datum.copy(reinterpret_cast<Exiv2::byte*>(value.data()), Exiv2::bigEndian);
        if (!encoded.count(datum.key()))
            encodedOrder.append(datum.key());
        encoded[datum.key()].append({ { { datum.record(), datum.tag() }, value },
            datum.typeId() == Exiv2::date || datum.typeId() == Exiv2::time });
    }
    const auto keptAsStored
        = [&](const std::string& key) { return edited.count(key) == 0 && holdTheSame(stored[key], encoded[key]); };

    QList<DataSet> dataSets;
    std::set<std::string> placed;
    const auto placeEncoded = [&](const std::string& key) {
        if (placed.insert(key).second) {
            for (const Encoded& datum : encoded[key])
                dataSets.append(datum.dataSet);
        }
    };
    for (const DataSet& dataSet : storedDataSets) {
        const std::string key = keyOf(dataSet.id);
        if (keptAsStored(key))
            dataSets.append(dataSet);
        else
            placeEncoded(key);
    }
    for (const std::string& key : encodedOrder) {
        if (!stored.count(key))
            placeEncoded(key);
    }
    std::stable_sort(
        dataSets.begin(), dataSets.end(), [](const DataSet& a, const DataSet& b) { return a.id.first < b.id.first; });

    QByteArray block;
    for (const DataSet& dataSet : dataSets)
        appendDataSet(block, dataSet);
    return block;
}

} // namespace ExifWriterEditing
