#pragma once

// The three looks of the map. The values are the tags of the viewer's map-type
// buttons.
enum class MapType { Road = 1, Satellite = 2, Hybrid = 3 };

// A button tag: 1 road, 2 satellite, anything else hybrid.
constexpr MapType mapTypeForTag(int tag)
{
    return tag == 1 ? MapType::Road : tag == 2 ? MapType::Satellite : MapType::Hybrid;
}
