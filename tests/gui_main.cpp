#include <QApplication>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // What the editor remembers (window places, keys, choices) goes to a
    // folder of this run, never the user's own.
    QTemporaryDir home;
    if (home.isValid()) {
        qputenv("XDG_STATE_HOME", (home.path() + QStringLiteral("/state")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
    }
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // libmpv refuses any other numeric locale
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
