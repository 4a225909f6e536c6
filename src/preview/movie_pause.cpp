#include "preview/movie_pause.h"

#include "preview/video_player.h"

namespace tessel {

void MoviePause::Pause() { player_.pause(); }

} // namespace tessel
