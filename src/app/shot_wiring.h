#pragma once
#include "app/tool_wiring.h"
#include "picture/shot_cache.h"
#include "picture/shot_list.h"
#include "picture/shot_source.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// The film's shot changes in the editor: found in the picture of each movie
// that opens (from the cache at once, else on a thread of their own with the
// progress in the Waveform window), drawn over the waveform, snapped to by
// dragged edges and the timing keys, and given to the "Reading" page. The
// cuts a user adds, removes, moves or imports are hand edits over the found
// ones, kept with the document (each one undo step, kept by crash recovery)
// and for the film under $XDG_STATE_HOME, so that the film opened again shows
// them. Frames are the movie player's.
namespace tessel {
class ShotBar;
class VideoPlayer;
} // namespace tessel

namespace tessel::app {

class PlaybackWiring;
class TimingKeys;
class WaveformWiring;

class ShotWiring : public QObject {
    Q_OBJECT
public:
    // The side data that holds the hand edits: "film IDENTITY", a line, then the edits.
    static constexpr const char* SideDataKey = "shot-changes";

    ShotWiring(const ToolContext& context, TimingKeys& keys, WaveformWiring& waveform);
    ~ShotWiring() override;
    ShotWiring(const ShotWiring&) = delete;
    ShotWiring& operator=(const ShotWiring&) = delete;

    ShotSource& source() { return source_; }
    ShotBar& bar() { return *bar_; }
    // The cuts shown, in the player's frames.
    const std::vector<int64_t>& cuts() const { return cuts_; }
    // A film is open and its frame rate known.
    bool available() const;

    void find();
    void stop();
    void setSensitivity(int sensitivity);
    void setSnapping(bool on);
    // Each one undo step; frames are the player's.
    void addCut(int64_t frame);
    void removeCut(int64_t frame);
    void moveCut(int64_t from, int64_t to);
    void importList(const QString& fileName);
    void discardEdits();
    void exportList(const QString& fileName, bool asTimes) const;
    // Seeks the movie to the cut after (or before) the frame on screen.
    void goToCut(bool next);

signals:
    void cutsChanged();

private:
    void registerCommands();
    void connectMovie();
    void connectView();
    void movieOpened();
    void started();
    void progressed();
    void finished();
    void historyEvent();
    void refresh();
    ShotEdits currentEdits() const;
    void setEdits(const char* stepName, const ShotEdits& edits);
    void changeCuts(const char* stepName, std::vector<int64_t> wanted);
    std::vector<int64_t> filmCuts() const; // the cuts shown, in the film's frames
    int64_t toFilm(int64_t frame) const;
    double playerFps() const;
    VideoPlayer& player() const;
    QString needsFilm() const;

    ToolContext context_;
    ShotCache cache_;
    ShotSource source_;
    ShotBar* bar_ = nullptr; // owned by the Waveform window
    WaveformWiring& waveform_;
    int sensitivity_;
    bool snapping_ = true;
    std::string identity_; // of the film open; "" before it is read
    ShotEdits stored_; // the film's edits as kept when it opened, or when the history started over
    ShotEdits written_; // as last kept for the film
    std::string seenSideData_;
    std::vector<int64_t> detected_; // the film's frames
    ShotEdits edits_;
    std::vector<int64_t> cuts_; // the player's frames
    int historyObserver_ = 0;
};

} // namespace tessel::app
