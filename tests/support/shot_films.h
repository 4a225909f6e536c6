#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Films with shot changes at known frames, made with ffmpeg once per run:
// hard cuts between different sources, and within the shots a two-frame
// flash, a fast pan, a dissolve and a fade through black, none of them a cut.
namespace tessel::test {

bool HaveShotFilms(); // ffmpeg is there to make them

struct ShotFilm {
    std::string path; // empty when ffmpeg could not make it
    std::string error; // why not
    std::vector<int64_t> cuts; // the first frames of the shots after the first, counted from the film's start
};

// `rate` as ffmpeg takes it ("25", "24000/1001"); `container` "mp4", "mkv"
// or "ts"; `late` frames of sound before the picture starts (the picture's
// first frame is then frame `late`).
ShotFilm MakeShotFilm(const std::string& rate, const std::string& container, int late = 0);

} // namespace tessel::test

// Skips the test without ffmpeg; fails it when ffmpeg cannot make the film.
#define REQUIRE_SHOT_FILM(film)                                                                                        \
    do {                                                                                                               \
        if (!tessel::test::HaveShotFilms()) GTEST_SKIP() << "ffmpeg is not installed";                                 \
        ASSERT_FALSE((film).path.empty()) << (film).error;                                                             \
    } while (false)
