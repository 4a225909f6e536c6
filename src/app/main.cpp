#include "app/editor.h"
#include "app/main_window.h"
#include "app/named_files.h"
#include "app/playback_wiring.h"
#include "app/qt_messages.h"
#include "core/recovery_journal.h"

#include <QApplication>
#include <clocale>
#include <iostream>

int main(int argc, char* argv[])
{
    // Answered before the windows, which need a screen.
    if (const std::optional<int> status = tessel::app::AnswerInfoOption(argc, argv, std::cout)) return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(tessel::app::ApplicationTitle);
    // libmpv needs C number formatting; the windows read the regional
    // separator from QLocale, which this does not change.
    std::setlocale(LC_NUMERIC, "C");
    tessel::app::Editor editor({}, tessel::app::CreateMovieWindow);
    // The movie window refuses to close, so the main window ends the run.
    QObject::connect(&editor.mainWindow(), &tessel::app::MainWindow::closed, &app, [] { QApplication::exit(0); });
    editor.mainWindow().show();
    editor.startRecovery(tessel::RecoveryFolder());
    tessel::app::OpenCommandLine(editor, QApplication::arguments().mid(1));
    return app.exec();
}
