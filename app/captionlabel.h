// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A label whose caption is plain text and which, when it sizes itself, fits its
// caption whenever the caption changes, keeping its left and top edges. It shows,
// and tells a screen reader, only as much of a caption as fits on the window.

#include <QHash>
#include <QImage>
#include <QLabel>

namespace zarvoni {

class CaptionLabel : public QLabel {
    Q_OBJECT
public:
    explicit CaptionLabel(QWidget *parent);

    void setAutoSize(bool on) { m_autoSize = on; }
    bool autoSize() const { return m_autoSize; }

    void setCaption(const QString &caption);
    // The caption exactly as it was set, however long.
    QString caption() const { return text(); }
    // What the label shows of its caption: the caption itself when it fits; otherwise
    // the lines that fit, each cut with an ellipsis where it runs out of room. A label
    // that sizes itself has room up to the edges of the window's surface.
    QString shownText() const;

    // What a screen reader calls the label instead of what it shows; "%1" stands for
    // what it shows, so that the name follows each new caption.
    void setSpokenName(const QString &name);
    // The name a screen reader reads: computed when it asks, so that a new caption
    // costs nothing until somebody listens.
    QString spokenName() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // What the frame and the caption's layout depend on besides the font, the style
    // and the palette, whose changes come as change events.
    struct Look {
        int frameStyle = 0, lineWidth = 0, midLineWidth = 0, margin = 0, indent = 0;
        QMargins contents;
        Qt::Alignment alignment;
        bool wordWrap = false;
        unsigned changes = 0;
        // The room a caption has: see room().
        QSize room;
        friend bool operator==(const Look &, const Look &) = default;
    };
    // What a picture depends on besides what the label shows and its size.
    struct PictureLook {
        qreal ratio = 0;
        bool enabled = false;
        Look look;
        friend bool operator==(const PictureLook &, const PictureLook &) = default;
    };
    // A caption as the label shows it, and the size the label takes for it when it
    // sizes itself (invalid until it is needed).
    struct Fitted {
        QString shown;
        QSize size;
    };

    Look look() const;
    // The width and height in which a caption's text can show: the label's own
    // contents, or, when it sizes itself, all that lies right of and below its
    // top-left corner on the surface.
    QSize room() const;
    Fitted &fittedFor(const QString &caption) const;
    QString cutToRoom(const QString &caption, QSize room) const;
    QSize fittedSize(const QString &shown) const;
    QImage drawPicture(const QString &shown);

    bool m_autoSize = false;
    QString m_spokenName;
    // Change events seen: a new font, palette, style or state.
    unsigned m_changes = 0;
    // Captions already cut to the room and sizes already fitted to them, for the
    // look they were fitted with: a caption shown again costs no text layout.
    mutable QHash<QString, Fitted> m_fitted;
    mutable Look m_fittedLook;
    // The frame and each caption drawn over a transparent background, for the look
    // they were drawn with: a repaint over a new background blends a picture instead
    // of laying the text out again, and a caption shown again is drawn only once.
    struct Picture {
        QImage image;
        // The part of the image that is not transparent, in the image's pixels: only
        // that part is blended.
        QRect used;
    };
    QHash<QString, Picture> m_pictures;
    qsizetype m_pictureBytes = 0;
    PictureLook m_picturesLook;
};

} // namespace zarvoni
