#include "cli/shot_steps.h"

#include "picture/shot_cache.h"
#include "picture/shot_list.h"

namespace tessel::cli {
namespace {

std::pair<double, std::vector<int64_t>> filmCuts(const std::string& film)
{
    const ShotCache cache;
    FilmCuts found = LoadFilmCuts(film, SavedShotSensitivity(), &cache);
    return { found.framesPerSecond, std::move(found.cuts) };
}

} // namespace

ShotChangeInput::ShotChangeInput(std::string path)
    : path_(std::move(path))
    , list_(LooksLikeShotList(path_))
{
}

std::vector<int64_t> ShotChangeInput::cutsAt(double framerate)
{
    if (list_) return ReadShotList(path_, framerate);
    if (!film_) film_ = filmCuts(path_);
    return ConvertCuts(film_->second, film_->first, framerate);
}

int ListShotChanges(const std::string& film, std::ostream& out, std::ostream& err)
{
    try {
        const auto [fps, cuts] = filmCuts(film);
        out << ShotListText(cuts, fps);
        out.flush();
        return out ? 0 : 1;
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
}

} // namespace tessel::cli
