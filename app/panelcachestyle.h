#pragma once
// The application's style, except that the panels of text boxes and push buttons
// are drawn once for each look and size and then copied: the style strokes their
// rounded frames with anti-aliasing, which costs more than everything else in a
// repaint of the window, and every new exercise repaints the whole window.

#include <QImage>
#include <QProxyStyle>

#include <vector>

namespace zarvoni {

class PanelCacheStyle final : public QProxyStyle {
    Q_OBJECT
public:
    PanelCacheStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override;

private:
    struct Panel {
        std::vector<quint64> key;
        QImage image;
    };
    // A few panels per widget and state: the window has one text box and three buttons.
    mutable std::vector<Panel> m_panels;
};

} // namespace zarvoni
