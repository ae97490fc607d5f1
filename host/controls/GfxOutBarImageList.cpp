#include "host/controls/GfxOutBarImageList.h"

#include <QIcon>
#include <QPainter>

namespace vx {

CGfxOutBarImageList::CGfxOutBarImageList(int width, int height) : m_size(width, height) {}

int CGfxOutBarImageList::Add(const QIcon& icon) { return Add(icon.pixmap(m_size)); }

int CGfxOutBarImageList::Add(const QPixmap& pixmap) {
    QPixmap image = pixmap;
    // The size is in device-independent pixels: on a screen with a pixel
    // ratio of 2 a 32 x 32 image holds 64 x 64 pixels and keeps that ratio.
    const qreal ratio = image.isNull() ? 1.0 : image.devicePixelRatio();
    const QSize pixels = (QSizeF(m_size) * ratio).toSize();
    if (!image.isNull() && image.size() != pixels) {
        image = image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        image.setDevicePixelRatio(ratio);
    }
    if (image.isNull()) {
        // An empty icon still takes its index, so later indexes stay aligned
        // with the caller's order of adding.
        image = QPixmap(m_size);
        image.fill(Qt::transparent);
    }
    m_images.append(image);
    return static_cast<int>(m_images.size()) - 1;
}

QPixmap CGfxOutBarImageList::Image(int index) const {
    if (index < 0 || index >= m_images.size()) return QPixmap();
    return m_images.at(index);
}

bool CGfxOutBarImageList::Draw(QPainter& painter, int index, const QPoint& topLeft) const {
    if (index < 0 || index >= m_images.size()) return false;
    painter.drawPixmap(topLeft, m_images.at(index));
    return true;
}

}  // namespace vx
