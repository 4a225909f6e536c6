// The README's table of commands against the registry of a whole editor
// (with the movie window, so every command is there).
#include "app/commands.h"
#include "app/editor.h"
#include "app/key_settings.h"
#include "app/playback_wiring.h"
#include "fakes.h"

#include <QFile>
#include <QWidget>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace tessel;
using namespace tessel::app;
using tessel::test::RecordingMessages;

namespace {

constexpr const char* Heading = "### Every command and its key";

QString defaultKeys(const Command& command)
{
    QStringList keys;
    if (!command.key.isEmpty()) keys << command.key.toString(QKeySequence::PortableText);
    for (const QKeySequence& key : command.moreKeys)
        keys << key.toString(QKeySequence::PortableText);
    return keys.join(QStringLiteral(" or "));
}

// Name and key of each row of the table under the heading.
std::multimap<QString, QString> readmeTable()
{
    QFile file(QStringLiteral(TESSEL_README));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    std::multimap<QString, QString> rows;
    qsizetype i = lines.indexOf(QLatin1String(Heading));
    if (i < 0) return rows;
    while (++i < lines.size() && !lines[i].startsWith(QLatin1Char('|'))) { }
    for (i += 2; i < lines.size() && lines[i].startsWith(QLatin1Char('|')); ++i) { // past the header and its rule
        const QStringList cells = lines[i].split(QLatin1Char('|'));
        if (cells.size() < 4) continue;
        QString key = cells[2].trimmed();
        rows.emplace(cells[1].trimmed(), key.remove(QLatin1Char('`')));
    }
    return rows;
}

class RegistryOfAWholeEditor : public ::testing::Test {
protected:
    RecordingMessages messages;
    Editor editor { EditorOverrides { &messages }, CreateMovieWindow };
    CommandRegistry& registry = editor.commands();
};

} // namespace

// Every command with its default key, nothing else: what is missing or left
// over is printed as the rows to put in or take out.
TEST_F(RegistryOfAWholeEditor, TheReadmesKeyTableIsTheRegistrys)
{
    const std::multimap<QString, QString> readme = readmeTable();
    ASSERT_FALSE(readme.empty()) << "no table under \"" << Heading << "\" in " << TESSEL_README;
    std::set<std::pair<QString, QString>> inReadme(readme.begin(), readme.end());
    std::string missing;
    for (const auto& command : registry.commands())
        if (inReadme.erase({ command->name, defaultKeys(*command) }) == 0)
            missing += "| " + command->name.toStdString() + " | " + defaultKeys(*command).toStdString() + " | "
                + command->description.toStdString() + " |\n";
    EXPECT_TRUE(missing.empty()) << "missing from the README's table:\n" << missing;
    std::string extra;
    for (const auto& [name, key] : inReadme)
        extra += "| " + name.toStdString() + " | " + key.toStdString() + " |\n";
    EXPECT_TRUE(extra.empty()) << "in the README's table but no command of the registry:\n" << extra;
    EXPECT_EQ(readme.size(), registry.commands().size());
}

// Each command can be found by its name alone and started by its key alone,
// whoever registered it.
TEST_F(RegistryOfAWholeEditor, NamesAndDefaultKeysAreTheirsAlone)
{
    std::map<QString, QString> names, keys;
    for (const auto& command : registry.commands()) {
        EXPECT_FALSE(command->description.isEmpty()) << command->id.toStdString();
        const auto [name, newName] = names.emplace(command->name, command->id);
        EXPECT_TRUE(newName) << command->id.toStdString() << " and " << name->second.toStdString() << " are both \""
                             << command->name.toStdString() << "\"";
        QList<QKeySequence> defaults = command->moreKeys;
        if (!command->key.isEmpty()) defaults << command->key;
        for (const QKeySequence& key : defaults) {
            const QString text = key.toString(QKeySequence::PortableText);
            EXPECT_EQ(ReservedKeyReason(key), "") << command->id.toStdString() << ": " << text.toStdString();
            const auto [other, newKey] = keys.emplace(text, command->id);
            EXPECT_TRUE(newKey) << command->id.toStdString() << " and " << other->second.toStdString() << " both have "
                                << text.toStdString();
        }
    }
}
