#pragma once

#include <QIcon>
#include <QList>
#include <QSize>

namespace somnara {

// Images of one size, addressed by their index, for the controls that show one.
class ImageList
{
public:
    explicit ImageList(QSize size = QSize(16, 16)) : m_size(size) {}

    QSize size() const { return m_size; }
    int count() const { return int(m_images.size()); }

    void add(const QIcon &image) { m_images.append(image); }
    // A null icon when there is no image at `index`: the control then shows none.
    QIcon image(int index) const { return m_images.value(index); }

private:
    QSize m_size;
    QList<QIcon> m_images;
};

} // namespace somnara
