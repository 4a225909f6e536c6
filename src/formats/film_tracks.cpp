#include "formats/film_tracks.h"

namespace tessel {

bool LooksLikeFilm(std::string_view start)
{
    if (start.substr(0, 4) == "\x1A\x45\xDF\xA3") return true;
    if (start.size() < 8) return false;
    const std::string_view box = start.substr(4, 4);
    return box == "ftyp" || box == "moov";
}

} // namespace tessel
