// A fixed-size list of images for the folder bar. Whoever creates a list owns
// it; the bar and its folders only point at lists and never delete them.
#pragma once

#include <QList>
#include <QPixmap>
#include <QSize>

class QIcon;
class QPainter;

namespace vx {

class CGfxOutBarImageList {
public:
    // Every image is scaled to width x height when added.
    explicit CGfxOutBarImageList(int width = 32, int height = 32);

    // Both return the new image's index.
    int Add(const QIcon& icon);
    int Add(const QPixmap& pixmap);

    int ImageCount() const { return static_cast<int>(m_images.size()); }
    QSize ImageSize() const { return m_size; }
    // A null pixmap for an index out of range.
    QPixmap Image(int index) const;
    void Clear() { m_images.clear(); }

    // Draws image `index` with its top-left corner at `topLeft`; an index out
    // of range draws nothing and returns false.
    bool Draw(QPainter& painter, int index, const QPoint& topLeft) const;

private:
    QSize m_size;
    QList<QPixmap> m_images;
};

}  // namespace vx
