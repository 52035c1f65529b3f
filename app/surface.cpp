// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/surface.h"

#include "app/accessiblefactory.h"

#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

namespace zarvoni {

namespace {
// Qt's raster engine hands a fill of 96 rows or more to its thread pool and waits for
// it; on a small, busy machine that wait costs more than the fill itself. Fills of
// at most 64 rows stay on the painting thread.
constexpr int kStripRows = 64;

constexpr const char *kSilentProperty = "zarvoni_silent";

// The surface as a screen reader sees it: its controls, less the silent ones.
class SurfaceAccessible final : public QAccessibleWidget {
public:
    explicit SurfaceAccessible(QWidget *surface) : QAccessibleWidget(surface) {}

    int childCount() const override { return int(spokenControls().size()); }

    QAccessibleInterface *child(int index) const override {
        const QList<QWidget *> controls = spokenControls();
        return index >= 0 && index < controls.size()
                   ? QAccessible::queryAccessibleInterface(controls[index])
                   : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override {
        return child ? int(spokenControls().indexOf(qobject_cast<QWidget *>(child->object()))) : -1;
    }

private:
    QList<QWidget *> spokenControls() const {
        QList<QWidget *> controls;
        for (QObject *object : widget()->children()) {
            auto *control = qobject_cast<QWidget *>(object);
            if (control && !control->isWindow() && !Surface::isSilent(control))
                controls.append(control);
        }
        return controls;
    }
};

QAccessibleInterface *makeSurfaceAccessible(QWidget *surface) {
    return new SurfaceAccessible(surface);
}

} // namespace

Surface::Surface(QWidget *parent) : QWidget(parent) {
    installAccessibleFactory<Surface, &makeSurfaceAccessible>();
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Surface::setSilent(QWidget *control) {
    control->setProperty(kSilentProperty, true);
}

bool Surface::isSilent(const QWidget *control) {
    return control->property(kSilentProperty).toBool();
}

void Surface::setBackgroundColour(QColor colour) {
    fitRows();
    m_colour = colour;
    std::ranges::fill(m_rows, colour.rgb());
    update();
}

QRgb Surface::rowColour(int y) const {
    return y >= 0 && y < int(m_rows.size()) ? m_rows[std::size_t(y)] : m_colour.rgb();
}

Surface::Bands::Bands(Surface &surface, int scale) : m_surface(surface), m_scale(scale) {
    m_surface.fitRows();
}

Surface::Bands::~Bands() {
    m_surface.update();
}

void Surface::Bands::fill(int fromUnit, int toUnit, QColor colour) {
    const auto first = m_surface.m_rows.begin();
    const int height = int(m_surface.m_rows.size());
    const int top = std::max(fromUnit * height / m_scale, 0);
    const int bottom = std::min(toUnit * height / m_scale, height);
    if (top < bottom)
        std::fill(first + top, first + bottom, colour.rgb());
}

void Surface::paintEvent(QPaintEvent *event) {
    QPainter painter(this);
    // Each rectangle of the region lies inside the painter's clip, so that each fill
    // is a plain rectangle.
    for (const QRect &rect : event->region()) {
        painter.setClipRect(rect);
        for (int top = rect.top(); top <= rect.bottom();) {
            const QRgb colour = rowColour(top);
            int bottom = top + 1;
            while (bottom <= rect.bottom() && bottom - top < kStripRows &&
                   rowColour(bottom) == colour)
                ++bottom;
            painter.fillRect(QRect(rect.left(), top, rect.width(), bottom - top),
                             QColor::fromRgb(colour));
            top = bottom;
        }
    }
}

void Surface::resizeEvent(QResizeEvent *event) {
    fitRows();
    QWidget::resizeEvent(event);
}

void Surface::fitRows() {
    // Growing keeps what was drawn and gives the new rows the background colour.
    if (height() > int(m_rows.size()))
        m_rows.resize(std::size_t(height()), m_colour.rgb());
}

} // namespace zarvoni
