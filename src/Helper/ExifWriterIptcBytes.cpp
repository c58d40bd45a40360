#include "Helper/ExifWriterEditing.h"
#include "platform/PhotoshopIptcDigest.h"

#include <QByteArrayView>
#include <QList>
#include <exiv2/exiv2.hpp>
#include <map>
#include <utility>

namespace {

constexpr char kTagMarker = 0x1c;

struct RawDataSet {
    int record = 0;
    int number = 0;
    QByteArrayView bytes;
};

// The data sets of an IPTC block in file order, with their values as stored; the
// walk stops at the first byte that starts none.
QList<RawDataSet> dataSetsOf(QByteArrayView block)
{
    QList<RawDataSet> dataSets;
    qsizetype at = 0;
    while (at + 5 <= block.size() && block[at] == kTagMarker) {
        const int record = quint8(block[at + 1]);
        const int number = quint8(block[at + 2]);
        qsizetype size = quint8(block[at + 3]) << 8 | quint8(block[at + 4]);
        at += 5;
        if (size & 0x8000) {
            // An extended data set: the low bits count the bytes of its size.
            const qsizetype sizeBytes = size & 0x7fff;
            if (sizeBytes > 4 || at + sizeBytes > block.size())
                break;
            size = 0;
            for (qsizetype i = 0; i < sizeBytes; ++i)
                size = size << 8 | quint8(block[at + i]);
            at += sizeBytes;
        }
        if (at + size > block.size())
            break;
        dataSets.append({ record, number, block.sliced(at, size) });
        at += size;
    }
    return dataSets;
}

} // namespace

namespace ExifWriterEditing {

// exiv2 reads an IPTC date or time into its own value and writes that anew: a time
// stored without its offset ("143947") gains one ("143947+0000"). Every such data
// set the edit did not target goes back with the bytes the photo held, matched by
// record, number and how many of the same came before it.
void keepIptcBytes(Exiv2::IptcData& iptcData, const std::set<std::string>& edited, QByteArrayView original)
{
    const std::optional<QByteArrayView> block = PhotoshopIptcDigest::iptcDataOf(original);
    if (!block)
        return;
    std::map<std::pair<int, int>, QList<QByteArrayView>> stored;
    for (const RawDataSet& dataSet : dataSetsOf(*block))
        stored[{ dataSet.record, dataSet.number }].append(dataSet.bytes);

    std::map<std::pair<int, int>, qsizetype> seen;
    for (Exiv2::Iptcdatum& datum : iptcData) {
        const std::pair<int, int> id { datum.record(), datum.tag() };
        const qsizetype index = seen[id]++;
        if ((datum.typeId() != Exiv2::date && datum.typeId() != Exiv2::time) || edited.count(datum.key()) != 0)
            continue;
        const auto found = stored.find(id);
        if (found == stored.end() || index >= found->second.size())
            continue;
        const QByteArrayView bytes = found->second[index];
        Exiv2::DataBuf encoded(datum.size());
        datum.copy(encoded.pData_, Exiv2::bigEndian);
        if (QByteArrayView(reinterpret_cast<const char*>(encoded.pData_), encoded.size_) == bytes)
            continue;
        Exiv2::StringValue value(std::string(bytes.data(), std::size_t(bytes.size())));
        datum.setValue(&value);
    }
}

} // namespace ExifWriterEditing
