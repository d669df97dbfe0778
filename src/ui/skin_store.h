#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace somnara {

// The skins held inside the program, in a fixed order. Each item keeps the bytes of one skin
// file as they were stored; the store never looks inside them.
class SkinStore
{
public:
    struct Item
    {
        QString name;
        QByteArray data;
    };

    SkinStore() = default;
    explicit SkinStore(QList<Item> items) : m_items(std::move(items)) {}

    // The four skins compiled into the program: 金属灰, 飘零, 默认 and 燃尽天.
    static SkinStore builtIn();

    int count() const { return int(m_items.size()); }
    // `index` must lie within the count.
    const Item &item(int index) const { return m_items.at(index); }

private:
    QList<Item> m_items;
};

// The engine's start skin as stored with the main window: a copy of the default skin's file.
QByteArray builtInStartSkin();

} // namespace somnara
