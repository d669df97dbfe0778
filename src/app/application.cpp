#include "application.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QWidget>

namespace somnara::Application {

namespace {

QString &storedTitle()
{
    static QString title;
    return title;
}

bool terminateRequested = false;

} // namespace

void setTitle(const QString &title)
{
    storedTitle() = title;
    QApplication::setApplicationDisplayName(title);
}

QString title()
{
    return storedTitle();
}

void messageBox(const QString &text, const QString &caption)
{
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

void terminate()
{
    terminateRequested = true;
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

bool terminated()
{
    return terminateRequested;
}

int run(QWidget *mainWindow)
{
    // A copy that is ending never shows its window: there is nothing the user could do in it.
    if (!terminateRequested && mainWindow)
        mainWindow->show();
    QApplication::exec();
    return 0;
}

} // namespace somnara::Application
