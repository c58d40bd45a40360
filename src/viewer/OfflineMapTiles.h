#pragma once

#include "viewer/MapOutlines.h"
#include "viewer/MapType.h"
#include "viewer/WebMercator.h"

#include <QCache>
#include <QColor>
#include <QImage>
#include <memory>

// The offline map's outlines as tiles of 256 x 256 pixels, in the tiling of the online
// map: a frame only copies them, however detailed the outlines are. A tile is made on
// first use and kept while the cache has room.
//
// Each tile draws only the land rings and line pieces whose bounds reach into it, the
// rings cut to the tile first: drawing is as fast at street level as for the whole
// world, and no coordinate outgrows what the painter can hold.
class OfflineMapTiles {
public:
    // Without outlines every tile is sea.
    explicit OfflineMapTiles(std::shared_ptr<const MapOutlines> outlines);
    ~OfflineMapTiles();

    // The tile in the look: sea, land, and the look's coasts and borders.
    QImage tile(const TileKey& key, MapType look);

    // Hybrid's borders alone, on a transparent tile, to lie over imagery.
    QImage bordersOverlay(const TileKey& key);

    static QColor seaColour(MapType look);

    // Tiles kept at the most: several screens of 1050 x 700.
    static constexpr int kCachedTiles = 160;

private:
    struct Projected;
    struct CacheKey {
        TileKey tile;
        MapType look;
        bool overlay = false;
        bool operator==(const CacheKey&) const = default;
        friend size_t qHash(const CacheKey& key, size_t seed = 0)
        {
            return qHashMulti(seed, key.tile, int(key.look), key.overlay);
        }
    };

    const Projected& projected();
    QImage cached(const CacheKey& key);
    QImage render(const TileKey& key, MapType look, bool overlay);

    std::shared_ptr<const MapOutlines> m_outlines;
    std::shared_ptr<const Projected> m_projected; // made on the first tile, shared by the maps
    QCache<CacheKey, QImage> m_cache { kCachedTiles };
};
