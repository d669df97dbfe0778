#include "application.h"
#include "fonts.h"
#include "tmain.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    somnara::Application::setTitle(QStringLiteral("Somnara大全"));
    somnara::installFontSubstitutes();

    // The window's creation ends with FormCreate: the single-copy guard, then the database.
    TMain Main;
    return somnara::Application::run(&Main);
}
