#include "svg_icon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

// The images are compiled into this library; a static library needs its resources pulled in
// by name, and only from the global namespace.
static void loadImageResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(images);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace somnara {

namespace {

class SvgIconEngine : public QIconEngine
{
public:
    explicit SvgIconEngine(const QString &path) : m_path(path) {}

    QIconEngine *clone() const override { return new SvgIconEngine(m_path); }
    QString key() const override { return QStringLiteral("somnara.svg"); }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override { return size; }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        if (size.isEmpty())
            return {};
        const QString cacheKey = QStringLiteral("somnara.svg:%1:%2x%3:%4")
                                     .arg(m_path)
                                     .arg(size.width())
                                     .arg(size.height())
                                     .arg(int(mode));
        QPixmap pixmap;
        if (QPixmapCache::find(cacheKey, &pixmap))
            return pixmap;

        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QSvgRenderer renderer(m_path);
        if (!renderer.isValid())
            return {};
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        pixmap = QPixmap::fromImage(image);

        if (mode != QIcon::Normal && qApp) {
            QStyleOption option;
            option.palette = QApplication::palette();
            pixmap = QApplication::style()->generatedIconPixmap(mode, pixmap, &option);
        }
        QPixmapCache::insert(cacheKey, pixmap);
        return pixmap;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap image = pixmap(rect.size() * ratio, mode, state);
        image.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect, image);
    }

private:
    QString m_path;
};

} // namespace

QIcon svgIcon(const QString &path)
{
    loadImageResources();
    return QIcon(new SvgIconEngine(path));
}

QIcon applicationIcon()
{
    return svgIcon(QStringLiteral(":/images/somnara.svg"));
}

} // namespace somnara
