#pragma once

// What a widget test needs to build the main window: a working folder without a database (the
// memo stays empty), failures caught instead of shown, the program's font substitutes, and a
// fresh application title per window so no two windows meet each other's single-copy marker.
#include "application.h"
#include "error_box.h"
#include "fonts.h"
#include "tmain.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class WindowFixture
{
public:
    WindowFixture()
    {
        somnara::installFontSubstitutes();
        somnara::ErrorBox::setPresenter([this](const QString &text) { errors << text; });
        m_previousDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }

    ~WindowFixture()
    {
        somnara::ErrorBox::setPresenter(nullptr);
        QDir::setCurrent(m_previousDir);
    }

    std::unique_ptr<TMain> makeWindow()
    {
        static int window = 0;
        somnara::Application::setTitle(QStringLiteral("Somnara大全-%1-%2-%3")
                                           .arg(QCoreApplication::applicationName())
                                           .arg(QCoreApplication::applicationPid())
                                           .arg(++window));
        return std::make_unique<TMain>();
    }

    QStringList errors;

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
};
