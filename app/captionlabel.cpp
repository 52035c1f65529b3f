// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/captionlabel.h"

#include "app/images.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace zarvoni {

namespace {
// More distinct captions than most labels show in a game: remembered sizes and
// pictures are forgotten past these, so that a label holds little memory.
constexpr qsizetype kMaxFitted = 256;
constexpr qsizetype kMaxPictureBytes = qsizetype{1024} * 1024;
// The smallest rectangle that holds every pixel of the image that is not transparent.
QRect usedRect(const QImage &image) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(row[x]) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = y;
            }
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

CaptionLabel::CaptionLabel(QWidget *parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText); // names and record files are shown as written
    setIndent(0);
    setMargin(0);
}

CaptionLabel::Look CaptionLabel::look() const {
    return {frameStyle(),      lineWidth(), midLineWidth(), margin(), indent(),
            contentsMargins(), alignment(), wordWrap(),     m_changes};
}

void CaptionLabel::setSpokenName(const QString &name) {
    m_spokenName = name;
    setAccessibleName(name.contains(QLatin1String("%1")) ? name.arg(text()) : name);
}

void CaptionLabel::setCaption(const QString &caption) {
    setText(caption);
    if (m_spokenName.contains(QLatin1String("%1")))
        setAccessibleName(m_spokenName.arg(caption));
    if (!m_autoSize)
        return;
    const Look now = look();
    if (now != m_fittedLook || m_fitted.size() >= kMaxFitted) {
        m_fitted.clear();
        m_fittedLook = now;
    }
    auto fitted = m_fitted.constFind(caption);
    if (fitted == m_fitted.constEnd())
        fitted = m_fitted.insert(caption, fittedSize());
    resize(*fitted);
}

// QLabel's size hint for the caption, from one text layout where QLabel makes three
// (two more for its minimum size, which an auto-sized label does not need).
QSize CaptionLabel::fittedSize() const {
    if (wordWrap() || indent() > 0 || minimumWidth() > 0 || buddy() != nullptr ||
        textFormat() != Qt::PlainText)
        return sizeHint();
    const QString shown = text();
    const QMargins contents = contentsMargins();
    const int extra = 2 * margin();
    // QLabel's own flags: expanded tabs, alignment without centring, which would
    // only round the size.
    const Qt::LayoutDirection direction = shown.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const Qt::Alignment aligned =
        QStyle::visualAlignment(direction, alignment()) & ~(Qt::AlignVCenter | Qt::AlignHCenter);
    const int flags = static_cast<int>(aligned.toInt()) | Qt::TextExpandTabs;
    constexpr int kUnbounded = 2000;
    const int width = kUnbounded - extra - contents.left() - contents.right();
    const QRect bounds = fontMetrics().boundingRect(0, 0, width, kUnbounded, flags, shown);
    const QSize fitted = QSize(bounds.width() + extra + contents.left() + contents.right(),
                               bounds.height() + extra + contents.top() + contents.bottom())
                             .expandedTo(minimumSize());
    Q_ASSERT(fitted == sizeHint());
    return fitted;
}

void CaptionLabel::changeEvent(QEvent *event) {
    ++m_changes;
    QLabel::changeEvent(event);
}

void CaptionLabel::paintEvent(QPaintEvent *event) {
    // What the pictures do not cover is left to the label itself.
    if (textFormat() != Qt::PlainText || indent() != 0 || buddy() != nullptr) {
        QLabel::paintEvent(event);
        return;
    }
    const qreal ratio = devicePixelRatioF();
    const PictureLook now{ratio, isEnabled(), look()};
    if (!(now == m_picturesLook) || m_pictureBytes > kMaxPictureBytes) {
        m_pictures.clear();
        m_pictureBytes = 0;
        m_picturesLook = now;
    }
    const QString shown = text();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    auto picture = m_pictures.find(shown);
    if (picture == m_pictures.end() || picture->image.size() != pixels) {
        QImage drawn = drawPicture();
        m_pictureBytes += drawn.sizeInBytes();
        const QRect used = usedRect(drawn);
        picture = m_pictures.insert(shown, {std::move(drawn), used});
    }
    if (picture->used.isEmpty())
        return;
    const QRectF used(picture->used);
    QPainter(this).drawImage(QRectF(used.topLeft() / ratio, used.size() / ratio), picture->image,
                             used);
}

// Draws what QLabel draws for a plain-text caption without indent: the frame, then
// the caption aligned in the contents rectangle less the margin.
QImage CaptionLabel::drawPicture() {
    QImage picture = widgetCanvas(*this);
    QPainter painter(&picture);
    painter.setFont(font());
    drawFrame(&painter);
    const QString shown = text();
    if (shown.isEmpty())
        return picture;
    const int m = margin();
    const QRect area = contentsRect().adjusted(m, m, -m, -m);
    const Qt::LayoutDirection direction = shown.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    int flags = int(QStyle::visualAlignment(direction, alignment()));
    flags |= direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft;
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    QStyleOption option;
    option.initFrom(this);
    style()->drawItemText(&painter, area, flags, option.palette, isEnabled(), shown,
                          foregroundRole());
    return picture;
}

} // namespace zarvoni
