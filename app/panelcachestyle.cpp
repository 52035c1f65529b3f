#include "app/panelcachestyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>

#include <algorithm>

namespace zarvoni {

namespace {

// More panels than the window's controls take in all their states; past this the
// panels are drawn afresh.
constexpr std::size_t kMaxPanels = 32;

// Everything a panel's pixels depend on: the element, the option's state, size,
// direction and colours, the frame's or the button's features, and the pixel ratio.
std::vector<quint64> panelKey(QStyle::PrimitiveElement element, const QStyleOption &option,
                              qreal ratio) {
    std::vector<quint64> key{quint64(element), quint64(option.state.toInt()),
                             quint64(option.rect.width()) << 32 | quint64(option.rect.height()),
                             quint64(option.direction), quint64(qRound(ratio * 1000))};
    if (const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(&option)) {
        key.push_back(quint64(frame->lineWidth) << 32 | quint64(frame->midLineWidth));
        key.push_back(quint64(frame->features.toInt()) << 32 | quint64(frame->frameShape));
    }
    if (const auto *button = qstyleoption_cast<const QStyleOptionButton *>(&option))
        key.push_back(quint64(button->features.toInt()));
    const QPalette::ColorGroup group = option.palette.currentColorGroup();
    for (int role = 0; role < QPalette::NColorRoles; ++role)
        key.push_back(option.palette.color(group, QPalette::ColorRole(role)).rgba64());
    return key;
}

// A panel may be copied only where painting it directly would give the same pixels.
bool copiable(const QPainter &painter) {
    return painter.worldTransform().type() <= QTransform::TxTranslate && painter.opacity() == 1.0 &&
           painter.compositionMode() == QPainter::CompositionMode_SourceOver;
}

} // namespace

PanelCacheStyle::PanelCacheStyle() : QProxyStyle(QApplication::style()->name()) {}

void PanelCacheStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                    QPainter *painter, const QWidget *widget) const {
    const bool cached = element == PE_PanelLineEdit || element == PE_PanelButtonCommand;
    if (!cached || !option || !painter || !copiable(*painter) || option->rect.isEmpty()) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const qreal ratio = painter->device()->devicePixelRatioF();
    std::vector<quint64> key = panelKey(element, *option, ratio);
    auto panel = std::find_if(m_panels.begin(), m_panels.end(),
                              [&key](const Panel &drawn) { return drawn.key == key; });
    if (panel == m_panels.end()) {
        if (m_panels.size() >= kMaxPanels)
            m_panels.clear();
        QImage image((QSizeF(option->rect.size()) * ratio).toSize(),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        // The panel is drawn at the image's origin.
        QPainter imagePainter(&image);
        imagePainter.setRenderHints(painter->renderHints());
        imagePainter.translate(-option->rect.topLeft());
        QProxyStyle::drawPrimitive(element, option, &imagePainter, widget);
        imagePainter.end();
        m_panels.push_back({std::move(key), std::move(image)});
        panel = m_panels.end() - 1;
    }
    painter->drawImage(option->rect.topLeft(), panel->image);
}

} // namespace zarvoni
