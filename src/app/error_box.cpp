#include "error_box.h"

#include "application.h"

#include <QMessageBox>

#include <exception>
#include <new>

namespace somnara {

namespace {

std::function<void(const QString &)> &presenter()
{
    static std::function<void(const QString &)> instance;
    return instance;
}

} // namespace

QString ErrorBox::text(const QString &message)
{
    // A double-byte character always sorts above "."; so does every non-ASCII character here.
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ErrorBox::show(const QString &message)
{
    const QString boxText = text(message);
    if (presenter()) {
        presenter()(boxText);
        return;
    }
    QMessageBox box(QMessageBox::Critical, Application::title(), boxText, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}

void ErrorBox::setPresenter(std::function<void(const QString &)> newPresenter)
{
    presenter() = std::move(newPresenter);
}

void guarded(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const std::bad_alloc &) {
        ErrorBox::show(QStringLiteral("内存不足"));
    } catch (const std::exception &error) {
        ErrorBox::show(QString::fromUtf8(error.what()));
    } catch (...) {
        ErrorBox::show(QStringLiteral("发生未知错误"));
    }
}

} // namespace somnara
