#include "application.h"
#include "fonts.h"
#include "svg_icon.h"
#include "tmain.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    somnara::Application::setTitle(QStringLiteral("Somnara大全"));
    somnara::installFontSubstitutes();
    // Every window shows the program's icon; the desktop entry of that name describes it.
    QApplication::setWindowIcon(somnara::applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("somnara"));

    // The window's creation ends with FormCreate: the single-copy guard, then the database.
    TMain Main;
    return somnara::Application::run(&Main);
}
