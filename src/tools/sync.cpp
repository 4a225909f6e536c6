#include "tools/sync.h"

#include "core/errors.h"
#include "core/fft.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

namespace tessel {
namespace {

constexpr double CellMs = 1000.0 / SyncCellsPerSecond;

// How a line is weighed against the target, in cells: the 300 ms before it
// should be quiet unless another line is there; its first half second (after
// the target's lead) is where the voice surely is, the rest less surely (a
// subtitle stays for reading after the voice ends). The edges of voices pin
// the offset down; the middles alone would let it slide.
constexpr double QuietBefore = 30, QuietWeight = -0.5;
// A subtitle often comes up a little before the voice.
constexpr double SpeechLead = 5;
constexpr double HeadLength = 50, HeadWeight = 1;
constexpr double TailWeight = 0.5;
// A proposal is measured against itself moved 2 to 10 s: nearer, its own
// slopes; farther, the film's ends (or no film at all) weigh in.
constexpr int64_t BaselineGap = 200, BaselineReach = 1000;
// Prominences that chance reaches over a whole film's offsets and ratios,
// and that any real match has: the score's 0 and 100.
constexpr double ChanceProminence = 4, SureProminence = 12;
// The grid of offsets the whole-film fit and the splits are looked for on,
// in cells; the offsets found are refined to the millisecond.
constexpr int64_t Step = 5;
// Fewer lines than this between two splits are no segment of their own, nor
// is one that stands out less than this (see prominence()).
constexpr size_t FewestLines = 8;
constexpr double WeakProminence = 5;
// The framerate mix-ups whose whole-film fit comes closest (and at least half
// as close as the closest) are tried with splits; the file's own rate always
// is. A file of few lines tries them all: its whole-film fits tell little,
// and its splits cost little.
constexpr size_t RatiosSplit = 2;
constexpr size_t FewLines = 400;

// The framerate mix-ups: a file timed at one rate played at another.
constexpr double Film = 24000.0 / 1001;
constexpr std::array<double, 7> Ratios = { 1, 25.0 / 24, 24.0 / 25, 25 / Film, Film / 25, 24 / Film, Film / 24 };
// Around the best of them, the ratio is looked for this far either way.
constexpr double RatioReach = 0.0015, RatioStep = 0.00005;

struct Piece {
    double from, to; // cells
    double weight;
};
using LinePieces = std::array<Piece, 3>;

class Cancelled { };

void checkCancel(const SyncOptions& options)
{
    if (options.cancel && options.cancel->load()) throw Cancelled {};
}

void report(const SyncOptions& options, double done)
{
    if (options.progress) options.progress(std::clamp(done, 0.0, 1.0));
}

// The lines' pieces at a ratio, in cells of the film's time before any offset.
std::vector<LinePieces> piecesAt(const std::vector<SyncInterval>& lines, double ratio, double lead)
{
    std::vector<LinePieces> pieces(lines.size());
    double lastEnd = -std::numeric_limits<double>::infinity();
    for (size_t i = 0; i < lines.size(); ++i) {
        const double start = ratio * double(lines[i].start) / CellMs;
        const double end = std::max(ratio * double(lines[i].end) / CellMs, start + 1);
        const double voice = std::min(end, start + lead);
        const double head = std::min(end, voice + HeadLength);
        pieces[i] = { Piece { std::min(start, std::max(start - QuietBefore, lastEnd)), start, QuietWeight },
            Piece { voice, head, HeadWeight }, Piece { head, end, TailWeight } };
        lastEnd = std::max(lastEnd, end);
    }
    return pieces;
}

double massOf(const LinePieces& line)
{
    double mass = 0;
    for (const Piece& p : line)
        mass += std::fabs(p.weight) * (p.to - p.from);
    return mass;
}

// The target's running sum: integral(x) is the sum of the target's values
// from cell 0 to position x (in cells), linear within a cell, and the
// outside value beyond the target's ends.
class Integral {
public:
    Integral(const SyncTarget& target, int64_t reach)
        : values_(target.values)
        , outside_(target.outside)
        , origin_(reach)
    {
        const int64_t n = int64_t(values_.size());
        sums_.resize(size_t(n + 2 * reach + 1));
        double sum = -outside_ * double(reach);
        for (int64_t k = -reach; k <= n + reach; ++k) {
            sums_[size_t(k + reach)] = sum;
            sum += valueAt(k);
        }
    }

    double valueAt(int64_t cell) const
    {
        return cell >= 0 && cell < int64_t(values_.size()) ? double(values_[size_t(cell)]) : double(outside_);
    }
    // The sum at whole cell k.
    double sumAt(int64_t k) const
    {
        const int64_t first = -origin_, last = int64_t(sums_.size()) - 1 - origin_;
        if (k < first) return sums_.front() - double(first - k) * outside_;
        if (k > last) return sums_.back() + double(k - last) * outside_;
        return sums_[size_t(k + origin_)];
    }
    double operator()(double x) const
    {
        const double whole = std::floor(x);
        const int64_t k = int64_t(whole);
        return sumAt(k) + (x - whole) * valueAt(k);
    }
    // The raw sums, for loops that stay within them: sums()[k + origin()]
    // for whole cells k in [from, to) when covers(from, to).
    const double* sums() const { return sums_.data(); }
    bool covers(int64_t from, int64_t to) const { return from >= -origin_ && to + origin_ <= int64_t(sums_.size()); }
    int64_t origin() const { return origin_; }
    int64_t size() const { return int64_t(values_.size()); }

private:
    const std::vector<float>& values_;
    double outside_;
    int64_t origin_;
    std::vector<double> sums_;
};

double lineScore(const LinePieces& line, const Integral& integral, double offset)
{
    double score = 0;
    for (const Piece& p : line)
        if (p.to > p.from) score += p.weight * (integral(p.to + offset) - integral(p.from + offset));
    return score;
}

// Where the lines sit best as one block: the cross-correlation of their
// weights with the target for every offset within the reach, on a grid of
// Step cells (the target averaged over each, the weights summed), which is
// all the search needs and a fifth of the work.
struct Correlation {
    std::vector<float> scores; // scores[d + reach], offset d * Step cells
    int64_t reach = 0;
};

class Correlator {
public:
    Correlator(const SyncTarget& target, int64_t reach, int64_t longestLines)
        : reach_((reach + Step - 1) / Step)
        , lines_(longestLines / Step + 2)
    {
        const int64_t length = lines_ + 2 * reach_ + 1;
        size_t n = 1;
        while (n < size_t(lines_ + length))
            n *= 2;
        fft_ = std::make_unique<RealFft>(n);
        // The target from -reach on.
        float* real = fft_->real();
        std::fill(real, real + n, 0.0f);
        for (int64_t b = 0; b < length; ++b) {
            float sum = 0;
            for (int64_t c = (b - reach_) * Step; c < (b - reach_ + 1) * Step; ++c)
                sum += c >= 0 && c < int64_t(target.values.size()) ? target.values[size_t(c)] : target.outside;
            real[b] = sum / float(Step);
        }
        fft_->forward();
        target_.assign(fft_->spectrum(), fft_->spectrum() + fft_->bins());
    }

    Correlation correlate(const std::vector<LinePieces>& lines)
    {
        const size_t n = fft_->size();
        float* real = fft_->real();
        std::fill(real, real + n, 0.0f);
        for (const LinePieces& line : lines)
            for (const Piece& p : line) {
                // The piece's weight shared among the coarse cells it covers.
                const double from = std::max(0.0, p.from / Step), to = std::min(double(lines_), p.to / Step);
                for (int64_t c = int64_t(from); double(c) < to; ++c)
                    real[c] += float(p.weight * (std::min(to, double(c + 1)) - std::max(from, double(c))) * Step);
            }
        fft_->forward();
        std::complex<float>* spectrum = fft_->spectrum();
        const float scale = 1.0f / float(n);
        for (size_t k = 0; k < fft_->bins(); ++k) {
            // By hand: the library's complex product checks for infinities.
            const float re = spectrum[k].real(), im = spectrum[k].imag();
            const float tr = target_[k].real(), ti = target_[k].imag();
            spectrum[k] = std::complex<float>((re * tr + im * ti) * scale, (re * ti - im * tr) * scale);
        }
        fft_->inverse();
        Correlation result;
        result.reach = reach_;
        result.scores.assign(real, real + 2 * reach_ + 1);
        return result;
    }

private:
    int64_t reach_; // coarse cells
    int64_t lines_; // coarse cells the lines may cover
    std::unique_ptr<RealFft> fft_;
    std::vector<std::complex<float>> target_;
};

// Splits by dynamic programming: every line takes an offset from the grid
// around `centre`; keeping the offset of the line before costs nothing,
// another costs the penalty. O(lines x offsets) time, O(offsets) memory: a
// split remembers only where the best path before it came from.
struct Split {
    size_t firstLine;
    int64_t offsetBefore; // the segment before it
    int previous; // the split before that one, -1: none
};

struct Segmentation {
    std::vector<SyncSegment> segments;
    double objective = 0; // the lines' scores less the splits' penalties
};

double segmentScore(
    const std::vector<LinePieces>& lines, const SyncSegment& segment, const Integral& integral, double offsetCells);

Segmentation splitLines(const std::vector<LinePieces>& lines, const Integral& integral, int64_t centre, int64_t reach,
    double penalty, const SyncOptions& options, double progressFrom, double progressTo)
{
    // Offsets every Step cells: a cut is found as well, in a fifth of the
    // time; each segment's offset is refined afterwards.
    const int64_t steps = reach / Step;
    const size_t offsets = size_t(2 * steps + 1);
    auto offsetAt = [&](size_t k) { return centre + Step * (int64_t(k) - steps); };
    // The sums the lines read at every offset, as floats (a line's share comes
    // out to a few hundredths, and twice as many go through at once), dealt
    // into Step rows so that each edge reads one row straight through.
    int64_t lowest = 0, highest = 0;
    for (const LinePieces& line : lines) {
        lowest = std::min<int64_t>(lowest, std::llround(line[0].from));
        highest = std::max<int64_t>(highest, std::llround(line[2].to));
    }
    const int64_t base = lowest + offsetAt(0);
    const size_t length = size_t(highest - lowest) + size_t(Step) * offsets + 1;
    const size_t rowLength = length / size_t(Step) + 1;
    std::vector<float> dealt(rowLength * size_t(Step));
    const bool inside = integral.covers(base, base + int64_t(length));
    const double* whole = integral.sums() + (base + integral.origin());
    for (size_t k = 0; k < length; ++k)
        dealt[(k % size_t(Step)) * rowLength + k / size_t(Step)]
            = float(inside ? whole[k] : integral.sumAt(base + int64_t(k)));
    auto edgeAt = [&](int64_t cell) {
        const size_t k = size_t(cell - lowest);
        return dealt.data() + (k % size_t(Step)) * rowLength + k / size_t(Step);
    };
    std::vector<float> best(offsets, 0.0f);
    std::vector<int> path(offsets, -1);
    std::vector<Split> splits;
    float bestBefore = 0;
    size_t bestAt = size_t(steps);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i % 64 == 0) {
            checkCancel(options);
            report(options, progressFrom + (progressTo - progressFrom) * double(i) / double(lines.size()));
        }
        // The line's pieces with their edges on whole cells.
        const float* edge[6];
        float weight[3];
        for (size_t p = 0; p < 3; ++p) {
            const Piece& piece = lines[i][p];
            const int64_t from = std::llround(piece.from), to = std::max<int64_t>(from, std::llround(piece.to));
            edge[2 * p] = edgeAt(from);
            edge[2 * p + 1] = edgeAt(to);
            weight[p] = float(piece.weight);
        }
        // Keeping the offset of the line before costs nothing; any other
        // comes from the best offset there, less the penalty.
        const float jump = i > 0 ? bestBefore - float(penalty) : -std::numeric_limits<float>::infinity();
        const int split = int(splits.size());
        if (i > 0) splits.push_back({ i, offsetAt(bestAt), path[bestAt] });
        float* __restrict row = best.data();
        int* __restrict from = path.data();
        const float* __restrict a0 = edge[0];
        const float* __restrict b0 = edge[1];
        const float* __restrict a1 = edge[2];
        const float* __restrict b1 = edge[3];
        const float* __restrict a2 = edge[4];
        const float* __restrict b2 = edge[5];
        const float w0 = weight[0], w1 = weight[1], w2 = weight[2];
        float top = -std::numeric_limits<float>::infinity();
        // Branch-free, so that it runs on vectors (-fopenmp-simd).
#pragma omp simd reduction(max : top)
        for (size_t d = 0; d < offsets; ++d) {
            const float score = w0 * (b0[d] - a0[d]) + w1 * (b1[d] - a1[d]) + w2 * (b2[d] - a2[d]);
            const int jumps = -int(jump > row[d]);
            const float kept = std::max(row[d], jump) + score;
            row[d] = kept;
            from[d] = (split & jumps) | (from[d] & ~jumps);
            top = std::max(top, kept);
        }
        bestAt = size_t(std::find(best.begin(), best.end(), top) - best.begin());
        bestBefore = top;
    }
    // Back from the best last offset.
    Segmentation result;
    result.objective = bestBefore;
    std::vector<SyncSegment>& segments = result.segments;
    size_t last = lines.size() - 1;
    int64_t offset = offsetAt(bestAt);
    for (int at = path[bestAt]; at >= 0; at = splits[size_t(at)].previous) {
        const Split& s = splits[size_t(at)];
        segments.push_back({ s.firstLine, last, double(offset) * CellMs });
        last = s.firstLine - 1;
        offset = s.offsetBefore;
    }
    segments.push_back({ 0, last, double(offset) * CellMs });
    std::reverse(segments.begin(), segments.end());
    return result;
}

double segmentScore(
    const std::vector<LinePieces>& lines, const SyncSegment& segment, const Integral& integral, double offsetCells)
{
    double score = 0;
    for (size_t i = segment.first; i <= segment.last; ++i)
        score += lineScore(lines[i], integral, offsetCells);
    return score;
}

// The segment's offset to a tenth of a millisecond near where the coarse
// grid put it: the best whole cell first, then the middle of the best
// stretch around it (the score is flat where every edge of the lines stays
// within the same cells).
void refineOffset(const std::vector<LinePieces>& lines, SyncSegment& segment, const Integral& integral)
{
    double centre = segment.offsetMs / CellMs;
    double best = -std::numeric_limits<double>::infinity();
    const double coarse = centre;
    for (int64_t step = -Step; step <= Step; ++step) {
        const double score = segmentScore(lines, segment, integral, coarse + double(step));
        if (score > best) {
            best = score;
            centre = coarse + double(step);
        }
    }
    constexpr int Steps = 150;
    best = -std::numeric_limits<double>::infinity();
    int firstBest = 0, lastBest = 0;
    for (int step = -Steps; step <= Steps; ++step) {
        const double score = segmentScore(lines, segment, integral, centre + step * 0.01);
        if (score > best + 1e-6) {
            best = score;
            firstBest = lastBest = step;
        } else if (score > best - 1e-6 && lastBest == step - 1) {
            lastBest = step;
        }
    }
    segment.offsetMs = (centre + 0.005 * (firstBest + lastBest)) * CellMs;
}

// How far the proposal stands out of the same proposal moved 2 to 10 s
// either way, in robust standard deviations (median and median deviation):
// lines that belong there fit sharply, a chance fit is one of many like it.
double prominence(
    const std::vector<LinePieces>& lines, const std::vector<SyncSegment>& segments, const Integral& integral)
{
    auto scoreAt = [&](double shift) {
        double score = 0;
        for (const SyncSegment& s : segments)
            score += segmentScore(lines, s, integral, s.offsetMs / CellMs + shift);
        return score;
    };
    const double best = scoreAt(0);
    std::vector<double> moved;
    for (int64_t d = BaselineGap; d <= BaselineReach; d += 2) {
        moved.push_back(scoreAt(double(d)));
        moved.push_back(scoreAt(-double(d)));
    }
    auto median = [](std::vector<double>& values) {
        std::nth_element(values.begin(), values.begin() + long(values.size() / 2), values.end());
        return values[values.size() / 2];
    };
    const double middle = median(moved);
    for (double& v : moved)
        v = std::fabs(v - middle);
    const double spread = 1.4826 * median(moved);
    return spread > 0 ? (best - middle) / spread : 0;
}

// A segment of a few lines between two others is no cut of the film but
// lines that happened to fit somewhere else (or a removed scene's lines,
// which fit nowhere), and so is one that fits no better where it was put
// than a few seconds off: its lines go to the segments on either side,
// split where they fit best. The shortest go first, then the weakest.
void joinWeakSegments(
    const std::vector<LinePieces>& lines, std::vector<SyncSegment>& segments, const Integral& integral)
{
    std::vector<double> strength(segments.size());
    for (size_t s = 0; s < segments.size(); ++s)
        strength[s] = prominence(lines, { segments[s] }, integral);
    while (segments.size() > 1) {
        size_t at = 0;
        for (size_t s = 1; s < segments.size(); ++s)
            if (segments[s].last - segments[s].first < segments[at].last - segments[at].first) at = s;
        if (segments[at].last - segments[at].first + 1 >= FewestLines) {
            at = size_t(std::min_element(strength.begin(), strength.end()) - strength.begin());
            if (strength[at] >= WeakProminence) return;
        }
        const SyncSegment piece = segments[at];
        if (at == 0) {
            segments[1].first = piece.first;
        } else if (at + 1 == segments.size()) {
            segments[at - 1].last = piece.last;
        } else {
            // Lines before `split` take the offset before, the rest the one after.
            const double before = segments[at - 1].offsetMs / CellMs, after = segments[at + 1].offsetMs / CellMs;
            double score = 0;
            for (size_t i = piece.first; i <= piece.last; ++i)
                score += lineScore(lines[i], integral, after);
            double best = score;
            size_t split = piece.first;
            for (size_t i = piece.first; i <= piece.last; ++i) {
                score += lineScore(lines[i], integral, before) - lineScore(lines[i], integral, after);
                if (score > best) {
                    best = score;
                    split = i + 1;
                }
            }
            segments[at - 1].last = split - 1;
            segments[at + 1].first = split;
        }
        segments.erase(segments.begin() + long(at));
        strength.erase(strength.begin() + long(at));
        // The neighbours' lines changed.
        for (size_t s = at > 0 ? at - 1 : 0; s <= at && s < segments.size(); ++s)
            if (segments[s].first <= segments[s].last) strength[s] = prominence(lines, { segments[s] }, integral);
        // A neighbour left with no line goes too.
        for (size_t s = 0; s < segments.size();)
            if (segments[s].first > segments[s].last) {
                segments.erase(segments.begin() + long(s));
                strength.erase(strength.begin() + long(s));
            } else {
                ++s;
            }
    }
}

// Around each segment's middle, so that a small change of ratio does not
// move the segment away from where it fits.
double scoreAtRatio(const std::vector<SyncInterval>& lines, double ratio, double baseRatio, double lead,
    const std::vector<SyncSegment>& segments, const Integral& integral, std::vector<SyncSegment>* moved = nullptr)
{
    const std::vector<LinePieces> pieces = piecesAt(lines, ratio, lead);
    double total = 0;
    for (const SyncSegment& s : segments) {
        const double middle = 0.5 * double(lines[s.first].start + lines[s.last].end);
        SyncSegment shifted = s;
        shifted.offsetMs = s.offsetMs + (baseRatio - ratio) * middle;
        double best = -std::numeric_limits<double>::infinity();
        double bestOffset = shifted.offsetMs;
        for (int step = -20; step <= 20; ++step) {
            const double offset = shifted.offsetMs / CellMs + step;
            const double score = segmentScore(pieces, shifted, integral, offset);
            if (score > best) {
                best = score;
                bestOffset = offset * CellMs;
            }
        }
        total += best;
        shifted.offsetMs = bestOffset;
        if (moved) moved->push_back(shifted);
    }
    return total;
}

} // namespace

SyncTarget TargetFromLikelihood(const std::vector<uint8_t>& likelihood)
{
    SyncTarget target;
    target.values.resize(likelihood.size());
    for (size_t i = 0; i < likelihood.size(); ++i)
        target.values[i] = (float(likelihood[i]) - 127.5f) / 127.5f;
    target.outside = -1;
    target.lead = SpeechLead;
    return target;
}

SyncTarget TargetFromIntervals(const std::vector<SyncInterval>& intervals)
{
    SyncTarget target;
    int64_t cells = 0;
    for (const SyncInterval& i : intervals)
        cells = std::max<int64_t>(cells, (i.end + int64_t(CellMs) - 1) / int64_t(CellMs));
    // How much of each cell a subtitle covers, to the millisecond: edges
    // rounded to cells would move every line's fit by up to a cell.
    std::vector<float> covered(size_t(std::min<int64_t>(cells, int64_t(1) << 31)), 0.0f);
    for (const SyncInterval& i : intervals) {
        const double from = std::max(0.0, double(i.start) / CellMs), to = double(i.end) / CellMs;
        for (int64_t c = int64_t(from); c < int64_t(covered.size()) && double(c) < to; ++c)
            covered[size_t(c)] += float(std::min(to, double(c + 1)) - std::max(from, double(c)));
    }
    target.values.resize(covered.size());
    for (size_t c = 0; c < covered.size(); ++c)
        target.values[c] = 2 * std::min(covered[c], 1.0f) - 1;
    target.outside = 0;
    return target;
}

double SyncResult::offsetOf(size_t index) const
{
    for (const SyncSegment& s : segments)
        if (index >= s.first && index <= s.last) return s.offsetMs;
    return segments.empty() ? 0 : segments.back().offsetMs;
}

SyncResult Align(const std::vector<SyncInterval>& lines, const SyncTarget& target, const SyncOptions& options)
{
    if (lines.empty()) throw Error("There are no timed subtitles to synchronise.");
    if (target.values.empty()) throw Error("There is nothing to synchronise the subtitles with.");
    const auto started = std::chrono::steady_clock::now();
    SyncResult result;
    try {
        const int64_t reach = std::max<int64_t>(1, options.maxOffsetMs / int64_t(CellMs));
        int64_t lastEnd = 0;
        for (const SyncInterval& line : lines)
            lastEnd = std::max(lastEnd, line.end);
        const double largest = *std::max_element(Ratios.begin(), Ratios.end()) * (1 + RatioReach);
        const int64_t longest = int64_t(std::ceil(largest * double(lastEnd) / CellMs)) + 2 * int64_t(QuietBefore) + 2;
        // The DP's offsets lie within its reach of the global offset; the sums
        // cover both reaches beyond either end.
        const int64_t splitReach = options.splits ? reach : 0;
        const Integral integral(
            target, std::max<int64_t>(longest, int64_t(target.values.size())) + 2 * reach + splitReach + 4);
        report(options, 0);

        // 1. Each framerate mix-up as one block over the whole film.
        Correlator correlator(target, reach, longest);
        struct Candidate {
            double ratio;
            double peak;
            int64_t offset;
        };
        std::vector<Candidate> candidates;
        for (size_t r = 0; r < Ratios.size(); ++r) {
            checkCancel(options);
            const Correlation c = correlator.correlate(piecesAt(lines, Ratios[r], target.lead));
            const auto top = std::max_element(c.scores.begin(), c.scores.end());
            const int64_t at = int64_t(top - c.scores.begin());
            candidates.push_back({ Ratios[r], double(*top), (at - c.reach) * Step });
            report(options, 0.2 * double(r + 1) / double(Ratios.size()));
        }
        // The file's own rate first, then the best fits.
        std::sort(candidates.begin() + 1, candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.peak > b.peak; });

        // 2. Splits, by dynamic programming around each candidate's offset;
        // another rate than the file's must win by more than a split.
        std::vector<LinePieces> pieces;
        double penalty = 0, bestObjective = -std::numeric_limits<double>::infinity();
        size_t tried = 1;
        const bool few = lines.size() <= FewLines;
        while (tried < candidates.size()
            && (!options.splits || few || (tried <= RatiosSplit && candidates[tried].peak >= 0.5 * candidates[1].peak)))
            ++tried;
        for (size_t c = 0; c < tried; ++c) {
            const Candidate& candidate = candidates[c];
            std::vector<LinePieces> these = piecesAt(lines, candidate.ratio, target.lead);
            double theseMass = 0;
            for (const LinePieces& line : these)
                theseMass += massOf(line);
            const double thisPenalty = options.splitPenalty * theseMass / double(lines.size());
            std::vector<SyncSegment> segments;
            if (options.splits) {
                const double from = 0.2 + 0.6 * double(c) / double(tried);
                segments = splitLines(
                    these, integral, candidate.offset, reach, thisPenalty, options, from, from + 0.6 / double(tried))
                               .segments;
                if (getenv("SYNC_DEBUG")) {
                    fprintf(stderr, "  dp:");
                    for (auto& sg : segments)
                        fprintf(stderr, " [%zu-%zu %+.0f z%.1f]", sg.first, sg.last, sg.offsetMs,
                            prominence(these, { sg }, integral));
                    fprintf(stderr, "\n");
                }
                joinWeakSegments(these, segments, integral);
            } else {
                segments = { SyncSegment { 0, lines.size() - 1, double(candidate.offset) * CellMs } };
            }
            // Compared as they will stand: short segments joined, each split
            // paid for, and another rate than the file's too.
            double objective = -thisPenalty * double(segments.size() - 1 + (c == 0 ? 0 : 1));
            for (const SyncSegment& segment : segments)
                objective += segmentScore(these, segment, integral, segment.offsetMs / CellMs);
            if (getenv("SYNC_DEBUG")) {
                fprintf(stderr, "cand ratio %f peak %.1f offset %lld obj %.1f pen %.1f:", candidate.ratio,
                    candidate.peak, (long long)candidate.offset, objective, thisPenalty);
                for (auto& sg : segments)
                    fprintf(stderr, " [%zu-%zu %+.0f z%.1f]", sg.first, sg.last, sg.offsetMs,
                        prominence(these, { sg }, integral));
                fprintf(stderr, "\n");
            }
            if (objective > bestObjective) {
                bestObjective = objective;
                result.ratio = candidate.ratio;
                result.segments = std::move(segments);
                pieces = std::move(these);
                penalty = thisPenalty;
            }
        }
        checkCancel(options);

        // 3. The ratio refined around the mix-up found: only a clearly
        // better fit moves it, so that a file at its right rate stays there.
        const double base = scoreAtRatio(lines, result.ratio, result.ratio, target.lead, result.segments, integral);
        double bestRatio = result.ratio, bestRatioScore = base;
        // Coarse steps, then fine ones around the best of them.
        for (const double stride : { RatioStep * 5, RatioStep }) {
            const double around = bestRatio / result.ratio - 1;
            const double reach = stride == RatioStep ? RatioStep * 4 : RatioReach;
            for (double step = around - reach; step <= around + reach + 1e-12; step += stride) {
                checkCancel(options);
                const double ratio = result.ratio * (1 + step);
                const double score = scoreAtRatio(lines, ratio, result.ratio, target.lead, result.segments, integral);
                if (score > bestRatioScore) {
                    bestRatioScore = score;
                    bestRatio = ratio;
                }
            }
        }
        if (bestRatio != result.ratio && bestRatioScore > base + penalty) {
            std::vector<SyncSegment> moved;
            scoreAtRatio(lines, bestRatio, result.ratio, target.lead, result.segments, integral, &moved);
            result.segments = moved;
            result.ratio = bestRatio;
            pieces = piecesAt(lines, bestRatio, target.lead);
        }
        report(options, 0.9);

        // 4. Each segment's offset to the millisecond, and the score.
        for (SyncSegment& s : result.segments) {
            refineOffset(pieces, s, integral);
            if (result.ratio == 1 && std::fabs(s.offsetMs) < options.leastOffsetMs) s.offsetMs = 0;
        }
        // Each segment on its own, weighed by its lines: segments that all
        // fit by chance must not add up to a sure fit.
        double weighted = 0;
        for (const SyncSegment& s : result.segments)
            weighted += prominence(pieces, { s }, integral) * double(s.last - s.first + 1);
        result.prominence = weighted / double(lines.size());
        result.score = std::clamp(
            100 * (result.prominence - ChanceProminence) / (SureProminence - ChanceProminence), 0.0, 100.0);
        report(options, 1);
    } catch (const Cancelled&) {
        result = SyncResult {};
        result.cancelled = true;
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return result;
}

std::string DescribeRatio(double ratio)
{
    struct Named {
        double ratio;
        const char* name;
    };
    static const Named names[]
        = { { 1, "1" }, { 25.0 / 24, "25/24" }, { 24.0 / 25, "24/25" }, { 25 / Film, "25/23.976" },
              { Film / 25, "23.976/25" }, { 24 / Film, "24/23.976" }, { Film / 24, "23.976/24" } };
    for (const Named& n : names)
        if (std::fabs(ratio / n.ratio - 1) < 1e-9) return n.name;
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", ratio);
    return text;
}

} // namespace tessel
