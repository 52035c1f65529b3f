#include "app/picturebutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace zarvoni {

namespace {
constexpr int kGap = 4;
}

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

void PictureButton::paintEvent(QPaintEvent *) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QFontMetrics metrics(font());
    const int textHeight = metrics.height();
    const int contentHeight = kPictureSize + kGap + textHeight;
    const int top = std::max(0, (height() - contentHeight) / 2);
    const int shift = isDown() ? 1 : 0;

    const QRect pictureRect((width() - kPictureSize) / 2 + shift, top + shift, kPictureSize,
                            kPictureSize);
    currentPicture().paint(&painter, pictureRect);

    const QRect textRect(shift, top + kPictureSize + kGap + shift, width(), textHeight);
    painter.drawItemText(textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic,
                         palette(), isEnabled(), text(), QPalette::ButtonText);

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace zarvoni
