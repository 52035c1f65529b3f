// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/captionlabel.h"

#include "app/accessiblefactory.h"
#include "app/images.h"

#include <QAccessibleWidget>
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

// The label as a screen reader sees it: static text named by what it shows.
class CaptionAccessible final : public QAccessibleWidget {
public:
    explicit CaptionAccessible(QWidget *label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return static_cast<const CaptionLabel *>(widget())->spokenName();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *makeCaptionAccessible(QWidget *label) {
    return new CaptionAccessible(label);
}

} // namespace

CaptionLabel::CaptionLabel(QWidget *parent) : QLabel(parent) {
    installAccessibleFactory<CaptionLabel, &makeCaptionAccessible>();
    setTextFormat(Qt::PlainText); // names and record files are shown as written
    setIndent(0);
    setMargin(0);
}

CaptionLabel::Look CaptionLabel::look() const {
    return {frameStyle(),      lineWidth(), midLineWidth(), margin(),  indent(),
            contentsMargins(), alignment(), wordWrap(),     m_changes, room()};
}

QSize CaptionLabel::room() const {
    QSize outer = size();
    if (m_autoSize && parentWidget())
        outer = parentWidget()->size() - QSize(x(), y());
    const QMargins contents = contentsMargins();
    const int extra = 2 * margin();
    return QSize(outer.width() - contents.left() - contents.right() - extra,
                 outer.height() - contents.top() - contents.bottom() - extra)
        .expandedTo(QSize(1, 1));
}

void CaptionLabel::setSpokenName(const QString &name) {
    m_spokenName = name;
}

QString CaptionLabel::spokenName() const {
    if (m_spokenName.isEmpty())
        return shownText();
    return m_spokenName.contains(QLatin1String("%1")) ? m_spokenName.arg(shownText())
                                                      : m_spokenName;
}

QString CaptionLabel::shownText() const {
    return fittedFor(text()).shown;
}

void CaptionLabel::setCaption(const QString &caption) {
    setText(caption);
    if (!m_autoSize)
        return;
    Fitted &entry = fittedFor(caption);
    if (!entry.size.isValid())
        entry.size = fittedSize(entry.shown);
    resize(entry.size);
}

CaptionLabel::Fitted &CaptionLabel::fittedFor(const QString &caption) const {
    const Look now = look();
    if (now != m_fittedLook || m_fitted.size() >= kMaxFitted) {
        m_fitted.clear();
        m_fittedLook = now;
    }
    auto entry = m_fitted.find(caption);
    if (entry == m_fitted.end())
        entry = m_fitted.insert(caption, {cutToRoom(caption, now.room), QSize()});
    return *entry;
}

// The lines of the caption that fit in the room, each cut with an ellipsis where it
// leaves the room; the caption itself when all of it fits. No character that shows
// is narrower than a pixel, so a line longer than the room is wide in characters is
// cut to that many before it is measured: a caption of 64 KiB costs no more than one
// that fills the window.
QString CaptionLabel::cutToRoom(const QString &caption, QSize room) const {
    const QFontMetrics metrics = fontMetrics();
    const int lineSpacing = std::max(metrics.lineSpacing(), 1);
    // A line that shows only in part still shows.
    const qsizetype maxLines = std::max((room.height() + lineSpacing - 1) / lineSpacing, 1);
    const qsizetype maxChars = room.width();
    QStringList lines;
    bool cut = false;
    for (qsizetype start = 0;;) {
        const qsizetype end = caption.indexOf(u'\n', start);
        QStringView line =
            QStringView(caption).sliced(start, (end < 0 ? caption.size() : end) - start);
        if (line.size() > maxChars) {
            line = line.first(maxChars);
            cut = true;
        }
        QString shown = line.toString();
        if (metrics.horizontalAdvance(shown) > room.width()) {
            shown = metrics.elidedText(shown, Qt::ElideRight, room.width());
            cut = true;
        }
        lines.append(std::move(shown));
        if (end < 0)
            break;
        if (lines.size() == maxLines) {
            cut = true; // the lines below lie outside the room
            break;
        }
        start = end + 1;
    }
    return cut ? lines.join(u'\n') : caption;
}

// QLabel's size hint for what the label shows, from one text layout where QLabel
// makes three (two more for its minimum size, which an auto-sized label does not need).
QSize CaptionLabel::fittedSize(const QString &shown) const {
    if (wordWrap() || indent() > 0 || minimumWidth() > 0 || buddy() != nullptr ||
        textFormat() != Qt::PlainText)
        return sizeHint();
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
    Q_ASSERT(shown != text() || fitted == sizeHint());
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
    const QString shown = shownText();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    auto picture = m_pictures.find(shown);
    if (picture == m_pictures.end() || picture->image.size() != pixels) {
        QImage drawn = drawPicture(shown);
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
QImage CaptionLabel::drawPicture(const QString &shown) {
    QImage picture = widgetCanvas(*this);
    QPainter painter(&picture);
    painter.setFont(font());
    drawFrame(&painter);
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
