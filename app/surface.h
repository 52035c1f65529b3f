// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's surface: a persistent background that painting draws into and
// that stays behind the controls until it is painted again.

#include <QColor>
#include <QWidget>

#include <vector>

namespace zarvoni {

class Surface : public QWidget {
    Q_OBJECT
public:
    explicit Surface(QWidget *parent);

    // Leaves a control of the surface out of what a screen reader sees of it: one
    // that another control covers, or one that shows nothing a pupil needs.
    static void setSilent(QWidget *control);
    static bool isSilent(const QWidget *control);

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
    };

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Gives the background a row for each row of the widget, keeping what was drawn.
    void fitRows();
    // The colour of row y of the background.
    QRgb rowColour(int y) const;

    // The background is a plain colour or horizontal bands across the full width,
    // so it is kept as the colour of each row of pixels, top to bottom: a repaint
    // fills rows of one colour together, and drawing a new background writes a few
    // hundred colours instead of a window-sized image.
    std::vector<QRgb> m_rows;
    QColor m_colour;
};

} // namespace zarvoni
