#include "media/film_subtitles.h"

#include "core/errors.h"
#include "media/track_document.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace tessel {
namespace {

// Picture tracks are read by OCR, under the name a SubRip file beside the film would have.
FilmTrackDocument pictureDocument(const std::string& fileName, const FilmTrack& track)
{
    FilmTrackDocument document;
    document.format = track.codec == "dvd_subtitle" ? FormatCode::VobSub : FormatCode::Pgs;
    document.pictureTrack = track.number;
    document.language = track.language;
    const QFileInfo film(QString::fromStdString(fileName));
    document.name = (film.path() + QLatin1Char('/') + film.completeBaseName()).toStdString()
        + (track.language.empty() ? "" : "." + track.language) + ".srt";
    return document;
}

std::string numbers(const std::vector<FilmTrack>& tracks)
{
    std::string list;
    for (const FilmTrack& t : tracks)
        if (t.readable()) list += (list.empty() ? "" : ", ") + std::to_string(t.number);
    return list;
}

} // namespace

bool FilmSubtitles::HoldsFilm(const std::string& fileName)
{
    // Looked at before opening: opening a pipe would wait for a writer.
    const QString name = QString::fromStdString(fileName);
    if (!QFileInfo(name).isFile()) return false;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray start = file.read(12);
    return LooksLikeFilm(std::string_view(start.constData(), static_cast<size_t>(start.size())));
}

std::optional<FilmTrackDocument> FilmSubtitles::ReadChosenTrack(const std::string& fileName)
{
    std::vector<FilmTrack> tracks = ListSubtitleTracks(fileName);
    for (FilmTrack& t : tracks)
        t.ocr = pictures_ && t.picturesOfText();
    const bool pictures = std::any_of(tracks.begin(), tracks.end(), [](const FilmTrack& t) { return t.ocr; });
    const auto readable = static_cast<size_t>(
        std::count_if(tracks.begin(), tracks.end(), [](const FilmTrack& t) { return t.readable(); }));
    std::optional<int> number = wanted_;
    if (!number) {
        if (readable == 0) {
            std::string kinds;
            for (const FilmTrack& t : tracks)
                kinds += (kinds.empty() ? "" : ", ") + t.codec;
            throw Error("\"" + fileName + "\" holds no subtitle track that can be read as text"
                + (tracks.empty() ? std::string() : " (it holds " + kinds + ")") + ".");
        }
        // Without anyone to ask, a film's only text track goes before any OCR of its pictures.
        const auto text = [](const FilmTrack& t) { return t.readable() && t.kind == TrackKind::Text; };
        if (readable == 1)
            number
                = std::find_if(tracks.begin(), tracks.end(), [](const FilmTrack& t) { return t.readable(); })->number;
        else if (!chooser_ && std::count_if(tracks.begin(), tracks.end(), text) == 1)
            number = std::find_if(tracks.begin(), tracks.end(), text)->number;
        else if (chooser_)
            number = chooser_->ChooseTrack(fileName, tracks);
        else
            throw Error("\"" + fileName + "\" holds " + std::to_string(readable) + (pictures ? "" : " text")
                + " subtitle tracks (" + numbers(tracks) + "): choose one with --track N (--list-tracks lists them).");
        if (!number) return std::nullopt;
    }
    const auto track
        = std::find_if(tracks.begin(), tracks.end(), [&](const FilmTrack& t) { return t.number == *number; });
    if (track == tracks.end())
        throw Error("\"" + fileName + "\" has no subtitle track " + std::to_string(*number)
            + " (its text tracks: " + (readable ? numbers(tracks) : std::string("none")) + ").");
    if (track->ocr) return pictureDocument(fileName, *track);
    if (!track->readable()) return TrackDocument(fileName, *track, {}); // says why it cannot be read
    const TrackPackets packets = ReadTrackPackets(fileName, *track);
    bytesRead_ = packets.bytesRead;
    return TrackDocument(fileName, *track, packets);
}

} // namespace tessel
