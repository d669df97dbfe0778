#include "skin_store.h"

#include <QFile>

// Resources of a static library are only linked in when something asks for them.
static void initSkinResources()
{
    Q_INIT_RESOURCE(skins);
}

namespace somnara {

namespace {

QByteArray resource(const QString &path)
{
    initSkinResources();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

SkinStore SkinStore::builtIn()
{
    QList<Item> items;
    for (int index = 0; index < 4; ++index) {
        const QString name = QStringLiteral("SkinItem%1").arg(index);
        items.append({name, resource(QStringLiteral(":/skins/") + name)});
    }
    return SkinStore(std::move(items));
}

QByteArray builtInStartSkin()
{
    return resource(QStringLiteral(":/skins/start"));
}

} // namespace somnara
