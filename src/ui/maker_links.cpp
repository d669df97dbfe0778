#include "maker_links.h"

#include "application.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>

#include <stdexcept>

namespace somnara::MakerLinks {

namespace {

std::function<bool(const QString &)> &clipboardWriter()
{
    static std::function<bool(const QString &)> writer;
    return writer;
}

bool writeSystemClipboard(const QString &text)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    auto *data = new QMimeData;
    data->setText(text);
    clipboard->setMimeData(data, QClipboard::Clipboard);
    // On X11 the system may refuse us the selection; then we do not own it.
    return clipboard->ownsClipboard() || clipboard->text(QClipboard::Clipboard) == text;
}

} // namespace

void openSite()
{
    // The result is deliberately ignored: no handler for web addresses is not our failure.
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerSiteUrl)));
}

void copyContact()
{
    const QString number = QString::fromLatin1(kContactQQNumber);
    const bool written = clipboardWriter() ? clipboardWriter()(number) : writeSystemClipboard(number);
    if (!written)
        throw std::runtime_error("Cannot open clipboard");
    Application::messageBox(QStringLiteral("QQ号码已复制！"), Application::title());
}

void setClipboardWriter(std::function<bool(const QString &)> writer)
{
    clipboardWriter() = std::move(writer);
}

} // namespace somnara::MakerLinks
