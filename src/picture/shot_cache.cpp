#include "picture/shot_cache.h"

#include "core/errors.h"
#include "picture/shot_detector.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <algorithm>
#include <zlib.h>

namespace tessel {
namespace {

constexpr char Magic[8] = { 'T', 'S', 'L', 'S', 'H', 'O', 'T', 'S' };
constexpr quint32 Version = 1;
// Changes to how frames are scored make older files useless: raise it then.
constexpr quint32 ScoringVersion = 2;
constexpr qint64 LargestKey = 1 << 16;
constexpr qint64 LargestEdits = qint64(16) << 20;
const QString Suffix = QStringLiteral(".shots");
const QString EditsSuffix = QStringLiteral(".edits");

QString hashName(const PeakCacheKey& key)
{
    return QString::fromLatin1(QCryptographicHash::hash(key.bytes(), QCryptographicHash::Sha1).toHex());
}

quint32 checksum(const char* data, size_t size)
{
    uLong crc = crc32(0, nullptr, 0);
    while (size > 0) {
        const uInt part = uInt(std::min<size_t>(size, 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), part);
        data += part;
        size -= part;
    }
    return quint32(crc);
}

} // namespace

std::string FilmIdentity(const PeakCacheKey& key) { return hashName(key).toStdString(); }

QString ShotCache::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tessel/shots");
}

QString ShotCache::DefaultEditsFolder()
{
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    const QString base = QDir::isAbsolutePath(state) ? state : QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/tessel/shot-changes");
}

ShotCache::ShotCache(QString folder, QString editsFolder, qint64 limit)
    : folder_(std::move(folder))
    , editsFolder_(std::move(editsFolder))
    , limit_(limit)
{
}

std::optional<ShotScores> ShotCache::load(const PeakCacheKey& key) const
{
    QFile file(folder_ + QLatin1Char('/') + hashName(key) + Suffix);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    auto reject = [&file]() -> std::optional<ShotScores> {
        file.remove();
        return std::nullopt;
    };
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    in.setFloatingPointPrecision(QDataStream::DoublePrecision);
    char magic[sizeof Magic] = {};
    quint32 version = 0, scoring = 0, keySize = 0, sum = 0;
    double fps = 0;
    if (in.readRawData(magic, sizeof magic) != sizeof magic || !std::equal(magic, magic + sizeof magic, Magic))
        return reject();
    in >> version >> scoring >> fps >> keySize;
    if (in.status() != QDataStream::Ok || version != Version || scoring != ScoringVersion || !(fps > 0)
        || keySize > LargestKey)
        return reject();
    QByteArray storedKey(int(keySize), '\0');
    if (in.readRawData(storedKey.data(), storedKey.size()) != storedKey.size()) return reject();
    quint64 count = 0;
    in >> count >> sum;
    if (in.status() != QDataStream::Ok || storedKey != key.bytes()) return reject();
    const qint64 dataSize = file.size() - file.pos();
    if (count > quint64(dataSize) / sizeof(FrameScore) || count * sizeof(FrameScore) != quint64(dataSize))
        return reject();
    ShotScores scores;
    scores.framesPerSecond = fps;
    scores.frames.resize(count);
    char* data = reinterpret_cast<char*>(scores.frames.data());
    if (file.read(data, dataSize) != dataSize || checksum(data, size_t(dataSize)) != sum) return reject();
    file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime); // used just now
    return scores;
}

bool ShotCache::store(const PeakCacheKey& key, const ShotScores& scores) const
{
    static_assert(sizeof(FrameScore) == 8, "two floats a frame, as the file holds them");
    if (!QDir().mkpath(folder_)) return false;
    const QString target = folder_ + QLatin1Char('/') + hashName(key) + Suffix;
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const char* data = reinterpret_cast<const char*>(scores.frames.data());
    const size_t dataSize = scores.frames.size() * sizeof(FrameScore);
    const QByteArray keyBytes = key.bytes();
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::DoublePrecision);
    out.writeRawData(Magic, sizeof Magic);
    out << Version << ScoringVersion << scores.framesPerSecond << quint32(keyBytes.size());
    out.writeRawData(keyBytes.constData(), keyBytes.size());
    out << quint64(scores.frames.size()) << checksum(data, dataSize);
    if (file.write(data, qint64(dataSize)) != qint64(dataSize) || out.status() != QDataStream::Ok || !file.commit())
        return false;
    TrimCacheFolder(folder_, { Suffix }, limit_, target);
    return true;
}

ShotEdits ShotCache::loadEdits(const PeakCacheKey& key) const
{
    QFile file(editsFolder_ + QLatin1Char('/') + hashName(key) + EditsSuffix);
    if (!file.open(QIODevice::ReadOnly) || file.size() > LargestEdits) return {};
    const QByteArray bytes = file.readAll();
    try {
        return ShotEdits::Decode(std::string_view(bytes.constData(), size_t(bytes.size())));
    } catch (const Error&) {
        return {};
    }
}

bool ShotCache::storeEdits(const PeakCacheKey& key, const ShotEdits& edits) const
{
    const QString target = editsFolder_ + QLatin1Char('/') + hashName(key) + EditsSuffix;
    if (edits.empty()) return !QFile::exists(target) || QFile::remove(target);
    if (!QDir().mkpath(editsFolder_)) return false;
    QSaveFile file(target);
    const std::string text = edits.encode();
    return file.open(QIODevice::WriteOnly) && file.write(text.data(), qint64(text.size())) == qint64(text.size())
        && file.commit();
}

QString ShotSettingsFile()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = QDir::isAbsolutePath(config) ? config : QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/tessel/shot-changes.conf");
}

int SavedShotSensitivity()
{
    const int value = QSettings(ShotSettingsFile(), QSettings::IniFormat)
                          .value(QStringLiteral("sensitivity"), DefaultSensitivity)
                          .toInt();
    return std::clamp(value, LeastSensitivity, MostSensitivity);
}

void SaveShotSensitivity(int sensitivity)
{
    QSettings(ShotSettingsFile(), QSettings::IniFormat).setValue(QStringLiteral("sensitivity"), sensitivity);
}

FilmCuts LoadFilmCuts(const std::string& fileName, int sensitivity, const ShotCache* cache)
{
    ShotDetector detector(fileName);
    const std::optional<PeakCacheKey> key = PeakCacheKey::ForMovie(QString::fromStdString(fileName), detector.stream());
    std::optional<ShotScores> scores = cache && key ? cache->load(*key) : std::nullopt;
    if (!scores) {
        const std::atomic<bool> never { false };
        scores.emplace();
        const ShotScanOutcome outcome = detector.scan(*scores, never);
        if (outcome.kind != ShotScanOutcome::Complete)
            throw Error("The picture of \"" + fileName + "\" could be read up to frame "
                + std::to_string(scores->frames.size()) + " only: " + outcome.reason + ".");
        if (cache && key) cache->store(*key, *scores);
    }
    const ShotEdits edits = cache && key ? cache->loadEdits(*key) : ShotEdits();
    return FilmCuts { scores->framesPerSecond, edits.apply(FindCuts(*scores, sensitivity)) };
}

} // namespace tessel
