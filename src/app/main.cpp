#include "app/editor.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/qt_messages.h"
#include "core/recovery_journal.h"

#include <QApplication>
#include <clocale>

int main(int argc, char* argv[])
{
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
    return app.exec();
}
