#pragma once
// A push button that shows a picture above its caption, with its own picture for
// the pressed and the disabled state, on its own background colour.

#include <QIcon>
#include <QPushButton>

namespace zarvoni {

class PictureButton : public QPushButton {
    Q_OBJECT
public:
    explicit PictureButton(QWidget *parent);

    // Pictures are drawn at this size in device-independent pixels.
    static constexpr int kPictureSize = 32;

    void setPictures(const QIcon &normal, const QIcon &pressed, const QIcon &disabled);
    // The picture shown in the button's present state.
    const QIcon &currentPicture() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QIcon m_normal;
    QIcon m_pressed;
    QIcon m_disabled;
};

} // namespace zarvoni
