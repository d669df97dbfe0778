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
    // Kept to ourselves, not made Qt's display name: on X11 Qt appends that name to every
    // window title ("Somnara大全 2.0 — Somnara大全"), and each window's caption is exact.
    storedTitle() = title;
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
