#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tessel Subtitles Editor"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tessel Subtitles Editor"));
    window.resize(600, 449);
    window.show();
    return app.exec();
}
