#include "app/spelling_service.h"

#include "core/errors.h"

#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QThread>
#include <algorithm>
#include <map>

namespace tessel::app {
namespace {

QString settingsPath()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = config.startsWith(QLatin1Char('/')) ? config : QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/tessel/spelling.ini");
}

// Spellers already read in this process, by language.
std::map<std::string, std::shared_ptr<Speller>>& spellers()
{
    static std::map<std::string, std::shared_ptr<Speller>> read;
    return read;
}

} // namespace

SpellingService::SpellingService(QObject* parent)
    : QObject(parent)
{
    const QSettings settings(settingsPath(), QSettings::IniFormat);
    const std::vector<std::string> installed = languages();
    const auto has
        = [&](const std::string& l) { return std::find(installed.begin(), installed.end(), l) != installed.end(); };
    const std::string saved = settings.value(QStringLiteral("language")).toString().toStdString();
    const std::string system = QLocale::system().name().toStdString();
    if (has(saved))
        language_ = saved;
    else if (has(system))
        language_ = system;
    else if (has("en_US"))
        language_ = "en_US";
    else if (!installed.empty())
        language_ = installed.front();
    underline_ = settings.value(QStringLiteral("underline"), true).toBool();
}

SpellingService::~SpellingService()
{
    if (!reader_) return;
    reader_->wait();
    delete reader_;
}

std::vector<std::string> SpellingService::languages() const
{
    std::vector<std::string> names;
    for (const Dictionary& d : InstalledDictionaries())
        names.push_back(d.language);
    return names;
}

void SpellingService::setLanguage(const std::string& language)
{
    if (language == language_) return;
    language_ = language;
    speller_.reset();
    problem_.clear();
    save();
    startReading();
    emit changed();
}

void SpellingService::setUnderline(bool on)
{
    if (on == underline_) return;
    underline_ = on;
    save();
    emit changed();
}

void SpellingService::save() const
{
    QSettings settings(settingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("language"), QString::fromStdString(language_));
    settings.setValue(QStringLiteral("underline"), underline_);
}

Speller* SpellingService::speller()
{
    if (speller_ && speller_->language() == language_) return speller_.get();
    if (const auto known = spellers().find(language_); known != spellers().end()) {
        speller_ = known->second;
        return speller_.get();
    }
    if (problem_.isEmpty() && !language_.empty()) startReading();
    return nullptr;
}

Speller& SpellingService::waitForSpeller()
{
    if (Speller* s = speller()) return *s;
    if (reader_) {
        reader_->wait();
        finishReading();
        if (Speller* s = speller()) return *s;
    }
    if (language_.empty()) throw Error("No Hunspell dictionary is installed (the hunspell-* packages).");
    auto read = std::make_shared<Speller>(language_);
    spellers()[language_] = read;
    speller_ = read;
    return *read;
}

void SpellingService::startReading()
{
    if (reader_ || language_.empty()) return;
    const std::string language = language_;
    reader_ = QThread::create([this, language] {
        try {
            read_ = std::make_shared<Speller>(language);
        } catch (const std::exception& e) {
            readError_ = e.what();
        }
    });
    connect(reader_, &QThread::finished, this, &SpellingService::finishReading);
    reader_->start(QThread::LowPriority);
}

void SpellingService::finishReading()
{
    if (!reader_) return;
    reader_->wait();
    reader_->deleteLater();
    reader_ = nullptr;
    if (read_) {
        spellers()[read_->language()] = read_;
        read_.reset();
    } else if (!readError_.empty()) {
        problem_ = QString::fromStdString(readError_);
        readError_.clear();
    }
    // Another language may have been chosen meanwhile.
    if (!speller() && problem_.isEmpty()) return;
    emit ready();
    emit changed();
}

} // namespace tessel::app
