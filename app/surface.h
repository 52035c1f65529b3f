#pragma once
// The window's surface: a persistent background image that painting draws into
// and that stays behind the controls until it is painted again.

#include <QImage>
#include <QPainter>
#include <QWidget>

namespace zarvoni {

class Surface : public QWidget {
    Q_OBJECT
public:
    explicit Surface(QWidget *parent);

    // Fills the whole background with one colour, clearing what was drawn.
    void setBackgroundColour(QColor colour);

    // Paints horizontal bands on a vertical scale of `scale` units covering the
    // surface's height: band i runs from y[i] to y[i + 1] across the full width.
    class Bands {
    public:
        Bands(Surface &surface, int scale);
        ~Bands();
        Bands(const Bands &) = delete;
        Bands &operator=(const Bands &) = delete;
        void fill(int fromUnit, int toUnit, QColor colour);

    private:
        Surface &m_surface;
        int m_scale;
        QPainter m_painter;
    };

    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Grows the image to the widget's size, keeping what was drawn.
    void fitImage();

    QImage m_image;
    QColor m_colour;
};

} // namespace zarvoni
