#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <optional>

// Photoshop keeps, beside a JPEG's IPTC data (resource 0x0404 of its APP13
// segment), an MD5 digest of that data (resource 0x0425), by which readers tell
// whether the IPTC data was changed by a program that did not update the XMP.
// exiv2 rewrites the IPTC data but leaves the digest, which then reads as stale.
namespace PhotoshopIptcDigest {

// The edited JPEG with its digest made current again, when the original's digest
// was current for the original's IPTC data (a digest that was stale before is
// left as it is); nothing when there is nothing to change.
std::optional<QByteArray> updated(QByteArrayView edited, QByteArrayView original);

// The JPEG without the digest of its first Photoshop segment, when that segment
// holds no IPTC data for it to describe (the data was removed); without the
// segment, when the digest was all it held. Nothing when there is nothing to remove.
std::optional<QByteArray> withoutOrphanedDigest(QByteArrayView jpeg);

// The IPTC data (resource 0x0404) of the JPEG's first Photoshop segment, as its
// bytes stand; nothing when there is none.
std::optional<QByteArrayView> iptcDataOf(QByteArrayView jpeg);

// The JPEG with iptc as the data of that resource, its size and the segment's
// length set to match; nothing when there is no such resource, the segment would
// outgrow 64 KB or the data is already the same.
std::optional<QByteArray> withIptcData(QByteArrayView jpeg, QByteArrayView iptc);

// A TIFF file keeps the same resources, without the segment around them, as the
// value of tag 34377 of its first directory, and its IPTC data as the value of tag
// 33723, which the digest then covers (padding included) when the resources hold
// no IPTC data themselves.

// The data of the IPTC resource; nothing when the resources hold none.
std::optional<QByteArrayView> iptcDataOfResources(QByteArrayView resources);

// The resources with iptc as the data of their IPTC resource (its size and padding
// set to match); nothing when they hold no IPTC resource.
std::optional<QByteArray> resourcesWithIptcData(QByteArrayView resources, QByteArrayView iptc);

// The resources with their digest made that of digestedNow, where it was current
// for digestedBefore; nothing when there is no such digest or nothing to change.
std::optional<QByteArray> resourcesWithDigestOf(
    QByteArrayView resources, QByteArrayView digestedBefore, QByteArrayView digestedNow);

} // namespace PhotoshopIptcDigest
