#pragma once
#include "tools/check_dialog.h"

namespace tessel {

class VideoPlayer;

// What the checks call before they start: the movie holds its picture.
class MoviePause : public VideoPause {
public:
    explicit MoviePause(VideoPlayer& player)
        : player_(player)
    {
    }
    void Pause() override; // nothing happens without a movie

private:
    VideoPlayer& player_;
};

} // namespace tessel
