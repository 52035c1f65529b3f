#pragma once
// A label whose caption is plain text and which, when it sizes itself, fits its
// caption whenever the caption changes, keeping its left and top edges.

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

private:
    bool m_autoSize = false;
};

} // namespace zarvoni
