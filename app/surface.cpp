#include "app/surface.h"

#include <QPainter>
#include <QResizeEvent>

namespace zarvoni {

Surface::Surface(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Surface::setBackgroundColour(QColor colour) {
    fitImage();
    m_colour = colour;
    m_image.fill(colour);
    update();
}

Surface::Bands::Bands(Surface &surface, int scale) : m_surface(surface), m_scale(scale) {
    m_surface.fitImage();
    m_painter.begin(&m_surface.m_image);
}

Surface::Bands::~Bands() {
    m_painter.end();
    m_surface.update();
}

void Surface::Bands::fill(int fromUnit, int toUnit, QColor colour) {
    const QSize size = m_surface.m_image.size();
    const int top = fromUnit * size.height() / m_scale;
    const int bottom = toUnit * size.height() / m_scale;
    m_painter.fillRect(0, top, size.width(), bottom - top, colour);
}

void Surface::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    painter.drawImage(event->rect(), m_image, event->rect());
}

void Surface::resizeEvent(QResizeEvent *event) {
    fitImage();
    QWidget::resizeEvent(event);
}

void Surface::fitImage() {
    // Growing keeps what was drawn and fills the new area with the background colour.
    if (width() <= m_image.width() && height() <= m_image.height())
        return;
    QImage grown(size().expandedTo(m_image.size()), QImage::Format_RGB32);
    grown.fill(m_colour);
    QPainter(&grown).drawImage(0, 0, m_image);
    m_image = grown;
}

} // namespace zarvoni
