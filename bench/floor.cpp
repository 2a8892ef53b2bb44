// The floor: a bare Qt main window with an MDI workspace of Lumidesk's size, nothing else.
// What a Qt program costs on this machine before it does anything.
#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenuBar>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new QMdiArea(&window));
    window.resize(797, 640 + window.menuBar()->sizeHint().height());
    window.show();
    return app.exec();
}
