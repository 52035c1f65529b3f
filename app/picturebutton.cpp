// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/picturebutton.h"

#include "app/images.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>

namespace zarvoni {

namespace {
constexpr int kGap = 4;
// Normal, pressed, disabled, each with and without focus and the mouse over it.
constexpr std::size_t kMaxFaces = 12;
} // namespace

PictureButton::PictureButton(QWidget *parent) : QPushButton(parent) {
    // Enter and Space on the focused button click it, as in a dialog.
    setAutoDefault(true);
}

void PictureButton::setPictures(const QIcon &normal, const QIcon &pressed, const QIcon &disabled) {
    m_normal = normal;
    m_pressed = pressed;
    m_disabled = disabled;
    update();
}

const QIcon &PictureButton::currentPicture() const {
    if (!isEnabled())
        return m_disabled;
    return isDown() ? m_pressed : m_normal;
}

void PictureButton::changeEvent(QEvent *event) {
    ++m_changes;
    QPushButton::changeEvent(event);
}

void PictureButton::paintEvent(QPaintEvent *) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const qreal ratio = devicePixelRatioF();
    const FaceKey key{
        int(option.state), int(option.features), text(), size(), ratio, currentPicture().cacheKey(),
        m_changes};
    auto face =
        std::ranges::find_if(m_faces, [&key](const Face &drawn) { return drawn.key == key; });
    if (face == m_faces.end()) {
        if (m_faces.size() >= kMaxFaces)
            m_faces.clear();
        QImage image = widgetCanvas(*this);
        QPainter painter(&image);
        painter.setFont(font());
        drawFace(painter);
        painter.end();
        m_faces.push_back({key, std::move(image)});
        face = m_faces.end() - 1;
    }
    QPainter(this).drawImage(QPoint(0, 0), face->image);
}

void PictureButton::drawFace(QPainter &painter) {
    QStyleOptionButton option;
    initStyleOption(&option);
    QStyle *look = style();
    look->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);

    const QFontMetrics metrics(font());
    const int textHeight = metrics.height();
    const int contentHeight = kPictureSize + kGap + textHeight;
    const int top = std::max(0, (height() - contentHeight) / 2);
    const int shift = isDown() ? 1 : 0;

    const QRect pictureRect((width() - kPictureSize) / 2 + shift, top + shift, kPictureSize,
                            kPictureSize);
    currentPicture().paint(&painter, pictureRect);

    const QRect textRect(shift, top + kPictureSize + kGap + shift, width(), textHeight);
    look->drawItemText(&painter, textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic,
                       palette(), isEnabled(), text(), QPalette::ButtonText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        look->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace zarvoni
