// The floor: a bare Qt main window with an MDI workspace of Lumidesk's size, nothing else.
// What a Qt program costs on this machine before it does anything. With --menu it also
// shows one menu title: the price of drawing any text at all (fonts, accessibility).
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
    if (app.arguments().contains(QStringLiteral("--menu")))
        window.menuBar()->addMenu(QStringLiteral("&New"));
    window.show();
    return app.exec();
}
