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

constexpr char Magic[8] = { 'T', 'S', 'L', 'P', 'E', 'A', 'K', 'S' };
constexpr quint32 Version = 1;
constexpr qint64 LargestKey = 1 << 16;
const QString Suffix = QStringLiteral(".peaks");

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
    return QString::fromLatin1(QCryptographicHash::hash(bytes(), QCryptographicHash::Sha1).toHex()) + Suffix;
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

QString PeakCache::path(const PeakCacheKey& key) const { return folder_ + QLatin1Char('/') + key.fileName(); }

std::optional<PeakTrack> PeakCache::load(const PeakCacheKey& key) const
{
    QFile file(path(key));
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    auto reject = [&file]() -> std::optional<PeakTrack> {
        file.remove();
        return std::nullopt;
    };
    QDataStream in(&file);
    in.setByteOrder(QDataStream::LittleEndian);
    char magic[sizeof Magic] = {};
    quint32 version = 0, rate = 0, keySize = 0;
    if (in.readRawData(magic, sizeof magic) != sizeof magic || !std::equal(magic, magic + sizeof magic, Magic))
        return reject();
    in >> version >> rate >> keySize;
    if (in.status() != QDataStream::Ok || version != Version || rate != PeaksPerSecond || keySize > LargestKey)
        return reject();
    QByteArray storedKey(static_cast<int>(keySize), '\0');
    quint64 count = 0, sum = 0;
    if (in.readRawData(storedKey.data(), storedKey.size()) != storedKey.size()) return reject();
    in >> count >> sum;
    if (in.status() != QDataStream::Ok || storedKey != key.bytes()) return reject();
    const qint64 dataSize = file.size() - file.pos();
    if (count > quint64(dataSize) / sizeof(Peak) || count * sizeof(Peak) != quint64(dataSize)) return reject();
    std::vector<Peak> peaks(count);
    char* data = reinterpret_cast<char*>(peaks.data());
    if (file.read(data, dataSize) != dataSize) return reject();
    if (checksum(data, size_t(dataSize)) != sum) return reject();
    file.setFileTime(QDateTime::currentDateTimeUtc(), QFileDevice::FileModificationTime); // used just now
    PeakTrack track;
    track.assign(std::move(peaks));
    return track;
}

bool PeakCache::store(const PeakCacheKey& key, const PeakTrack& track) const
{
    if (!QDir().mkpath(folder_)) return false;
    const QString target = path(key);
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const std::vector<Peak>& peaks = track.peaks();
    const char* data = reinterpret_cast<const char*>(peaks.data());
    const size_t dataSize = peaks.size() * sizeof(Peak);
    const QByteArray keyBytes = key.bytes();
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData(Magic, sizeof Magic);
    out << Version << quint32(PeaksPerSecond) << quint32(keyBytes.size());
    out.writeRawData(keyBytes.constData(), keyBytes.size());
    out << quint64(peaks.size()) << checksum(data, dataSize);
    if (file.write(data, qint64(dataSize)) != qint64(dataSize) || out.status() != QDataStream::Ok || !file.commit())
        return false;
    trim(target);
    return true;
}

void PeakCache::trim(const QString& keep) const { TrimCacheFolder(folder_, Suffix, limit_, keep); }

void TrimCacheFolder(const QString& folder, const QString& suffix, qint64 limit, const QString& keep)
{
    QFileInfoList files = QDir(folder).entryInfoList({ QLatin1Char('*') + suffix }, QDir::Files, QDir::Time);
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
