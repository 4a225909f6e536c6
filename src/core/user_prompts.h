#pragma once
#include <QString>

// What the core asks of the user, as interfaces: the window implements them
// with dialogs, the converter and the tests with fixed answers.
namespace tessel {

class FramerateSource {
public:
    virtual ~FramerateSource() = default;
    // Throws ConversionError when the answer is not a number.
    virtual double ChooseFramerate(const QString& caption, const QString& prompt) = 0;
};

class FixedFramerate : public FramerateSource {
public:
    explicit FixedFramerate(double framerate)
        : framerate_(framerate)
    {
    }
    double ChooseFramerate(const QString&, const QString&) override
    {
        ++asked_;
        return framerate_;
    }
    int timesAsked() const { return asked_; }

private:
    double framerate_;
    int asked_ = 0;
};

enum class MessageIcon { Error, Warning, Information, Question };

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(const QString& title, const QString& text, MessageIcon icon) = 0;

    void showError(const QString& text) { showMessage(QStringLiteral("Error"), text, MessageIcon::Error); }
    void showDone(const QString& text) { showMessage(QStringLiteral("Done"), text, MessageIcon::Information); }
};

inline const QString FramerateCaption = QStringLiteral("Framerate");
inline const QString FrameratePrompt = QStringLiteral("Please choose framerate:");

} // namespace tessel
