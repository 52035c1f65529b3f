// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A push button that shows a picture above its caption, with its own picture for
// the pressed and the disabled state, on its own background colour.

#include <QIcon>
#include <QImage>
#include <QPushButton>

#include <vector>

class QPainter;

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
    void changeEvent(QEvent *event) override;

private:
    // What the button's face depends on; font, palette and style changes come as
    // change events.
    struct FaceKey {
        int state = 0;
        int features = 0;
        QString text;
        QSize size;
        qreal ratio = 0;
        qint64 picture = 0;
        unsigned changes = 0;
        friend bool operator==(const FaceKey &, const FaceKey &) = default;
    };
    struct Face {
        FaceKey key;
        QImage image;
    };

    void drawFace(QPainter &painter);

    QIcon m_normal;
    QIcon m_pressed;
    QIcon m_disabled;
    unsigned m_changes = 0;
    // The faces drawn so far over a transparent background, one per state the button
    // was in: a repaint over a new background blends one instead of drawing the
    // bevel, the picture and the caption again.
    std::vector<Face> m_faces;
};

} // namespace zarvoni
