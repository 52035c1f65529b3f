// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A label whose caption is plain text and which, when it sizes itself, fits its
// caption whenever the caption changes, keeping its left and top edges.

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
    QString caption() const { return text(); }

    // What a screen reader calls the label instead of its bare caption; "%1"
    // stands for the caption, and the name follows each new caption.
    void setSpokenName(const QString &name);

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
        friend bool operator==(const Look &, const Look &) = default;
    };
    // What a picture depends on besides the caption and the label's size.
    struct PictureLook {
        qreal ratio = 0;
        bool enabled = false;
        Look look;
        friend bool operator==(const PictureLook &, const PictureLook &) = default;
    };

    Look look() const;
    QSize fittedSize() const;
    QImage drawPicture();

    bool m_autoSize = false;
    QString m_spokenName;
    // Change events seen: a new font, palette, style or state.
    unsigned m_changes = 0;
    // Sizes already fitted to captions, for the look they were fitted with: a caption
    // shown again costs no text layout.
    QHash<QString, QSize> m_fitted;
    Look m_fittedLook;
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
