#include <QApplication>
#include <QTemporaryDir>
#include <clocale>
#include <gtest/gtest.h>

namespace {

// What the editor remembers (window places, keys, choices) goes to folders of
// each test's own, never the user's, and no test sees what another left.
class FreshStateFolders : public ::testing::EmptyTestEventListener {
public:
    explicit FreshStateFolders(const QString& root)
        : root_(root)
    {
    }
    void OnTestStart(const ::testing::TestInfo&) override
    {
        const QString folder = root_ + QStringLiteral("/%1").arg(++count_);
        qputenv("XDG_STATE_HOME", (folder + QStringLiteral("/state")).toUtf8());
        qputenv("XDG_CONFIG_HOME", (folder + QStringLiteral("/config")).toUtf8());
    }

private:
    QString root_;
    int count_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // libmpv refuses any other numeric locale
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir home;
    if (home.isValid()) ::testing::UnitTest::GetInstance()->listeners().Append(new FreshStateFolders(home.path()));
    return RUN_ALL_TESTS();
}
