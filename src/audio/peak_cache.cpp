#include "audio/peak_cache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>
#include <cstring>

namespace tessel {
namespace {

constexpr char PeaksMagic[8] = { 'T', 'S', 'L', 'P', 'E', 'A', 'K', 'S' };
constexpr quint32 PeaksVersion = 1;
constexpr char SpeechMagic[8] = { 'T', 'S', 'L', 'V', 'O', 'I', 'C', 'E' };
// The detector's: decisions made by an older one are made again.
constexpr quint32 SpeechVersion = 1;
constexpr qint64 LargestKey = 1 << 16;
const QString PeaksSuffix = QStringLiteral(".peaks");
const QString SpeechSuffix = QStringLiteral(".speech");

// FNV-1a over eight bytes at a time: a damaged file must not be mistaken for
// peaks, and two hours of them are checked in a few milliseconds.
quint64 checksum(const char* data, size_t size)
{
    quint64 hash = 14695981039346656037ull;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, 8);
        hash = (hash ^ word) * 1099511628211ull;
        hash ^= hash >> 29;
    }
    for (; i < size; ++i)
        hash = (hash ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
    return hash;
}

// What a cache file holds: its kind, version and rate, the key, the count,
// a checksum, then the values.
struct FileKind {
    const char (&magic)[8];
    quint32 version;
    quint32 rate;
};

// The values of a file that reads back exactly as written; a damaged or
// foreign file is removed.
template <typename T>
std::optional<std::vector<T>> readCacheFile(const QString& path, const FileKind& kind, const QByteArray& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    auto reject = [&file]() -> std::optional<std::vector<T>> {
        file.remove();
        return std::nullopt;
    };
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    char magic[sizeof kind.magic] = {};
    quint32 version = 0, rate = 0, keySize = 0;
    if (in.readRawData(magic, sizeof magic) != sizeof magic || !std::equal(magic, magic + sizeof magic, kind.magic))
        return reject();
    in >> version >> rate >> keySize;
    if (in.status() != QDataStream::Ok || version != kind.version || rate != kind.rate || keySize > LargestKey)
        return reject();
    QByteArray storedKey(static_cast<int>(keySize), '\0');
    quint64 count = 0, sum = 0;
    if (in.readRawData(storedKey.data(), storedKey.size()) != storedKey.size()) return reject();
    in >> count >> sum;
    if (in.status() != QDataStream::Ok || storedKey != key) return reject();
    const qint64 dataSize = file.size() - file.pos();
    if (count > quint64(dataSize) / sizeof(T) || count * sizeof(T) != quint64(dataSize)) return reject();
    std::vector<T> values(count);
    char* data = reinterpret_cast<char*>(values.data());
    if (file.read(data, dataSize) != dataSize) return reject();
    if (checksum(data, size_t(dataSize)) != sum) return reject();
    file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime); // used just now
    return values;
}

template <typename T>
bool writeCacheFile(const QString& path, const FileKind& kind, const QByteArray& key, const std::vector<T>& values)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const char* data = reinterpret_cast<const char*>(values.data());
    const size_t dataSize = values.size() * sizeof(T);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData(kind.magic, sizeof kind.magic);
    out << kind.version << kind.rate << quint32(key.size());
    out.writeRawData(key.constData(), key.size());
    out << quint64(values.size()) << checksum(data, dataSize);
    return file.write(data, qint64(dataSize)) == qint64(dataSize) && out.status() == QDataStream::Ok && file.commit();
}

const FileKind Peaks { PeaksMagic, PeaksVersion, PeaksPerSecond };
const FileKind Speech { SpeechMagic, SpeechVersion, SpeechFramesPerSecond };

} // namespace

std::optional<PeakCacheKey> PeakCacheKey::ForMovie(const QString& fileName, int stream)
{
    const QFileInfo info(fileName);
    if (!info.isFile()) return std::nullopt;
    PeakCacheKey key;
    key.path = info.canonicalFilePath();
    key.size = info.size();
    key.modified = info.lastModified().toMSecsSinceEpoch();
    key.stream = stream;
    return key;
}

QByteArray PeakCacheKey::bytes() const
{
    return path.toUtf8() + '\n' + QByteArray::number(size) + '\n' + QByteArray::number(modified) + '\n'
        + QByteArray::number(stream);
}

QString PeakCacheKey::fileName() const
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes(), QCryptographicHash::Sha1).toHex()) + PeaksSuffix;
}

QString PeakCache::DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tessel/peaks");
}

PeakCache::PeakCache(QString folder, qint64 limitBytes)
    : folder_(std::move(folder))
    , limit_(limitBytes)
{
}

QString PeakCache::path(const PeakCacheKey& key, bool speech) const
{
    QString name = key.fileName();
    if (speech) name.replace(name.size() - PeaksSuffix.size(), PeaksSuffix.size(), SpeechSuffix);
    return folder_ + QLatin1Char('/') + name;
}

std::optional<PeakTrack> PeakCache::load(const PeakCacheKey& key) const
{
    std::optional<std::vector<Peak>> peaks = readCacheFile<Peak>(path(key, false), Peaks, key.bytes());
    if (!peaks) return std::nullopt;
    PeakTrack track;
    track.assign(std::move(*peaks));
    return track;
}

bool PeakCache::store(const PeakCacheKey& key, const PeakTrack& track) const
{
    if (!QDir().mkpath(folder_)) return false;
    const QString target = path(key, false);
    if (!writeCacheFile(target, Peaks, key.bytes(), track.peaks())) return false;
    trim(target);
    return true;
}

std::optional<SpeechTrack> PeakCache::loadSpeech(const PeakCacheKey& key) const
{
    std::optional<std::vector<uint8_t>> values = readCacheFile<uint8_t>(path(key, true), Speech, key.bytes());
    if (!values) return std::nullopt;
    return SpeechTrack { std::move(*values) };
}

bool PeakCache::storeSpeech(const PeakCacheKey& key, const SpeechTrack& speech) const
{
    if (!QDir().mkpath(folder_)) return false;
    const QString target = path(key, true);
    if (!writeCacheFile(target, Speech, key.bytes(), speech.likelihood)) return false;
    trim(target);
    return true;
}

void PeakCache::trim(const QString& keep) const
{
    TrimCacheFolder(folder_, { PeaksSuffix, SpeechSuffix }, limit_, keep);
}

void TrimCacheFolder(const QString& folder, const QStringList& suffixes, qint64 limit, const QString& keep)
{
    QStringList patterns;
    for (const QString& suffix : suffixes)
        patterns.append(QLatin1Char('*') + suffix);
    QFileInfoList files = QDir(folder).entryInfoList(patterns, QDir::Files, QDir::Time);
    qint64 total = 0;
    for (const QFileInfo& file : files)
        total += file.size();
    // Newest first: remove from the back.
    while (total > limit && !files.isEmpty()) {
        const QFileInfo oldest = files.takeLast();
        if (oldest.absoluteFilePath() == QFileInfo(keep).absoluteFilePath()) continue;
        if (QFile::remove(oldest.absoluteFilePath())) total -= oldest.size();
    }
}

} // namespace tessel
