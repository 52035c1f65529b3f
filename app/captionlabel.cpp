#include "app/captionlabel.h"

namespace zarvoni {

CaptionLabel::CaptionLabel(QWidget *parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText); // names and record files are shown as written
    setIndent(0);
    setMargin(0);
}

void CaptionLabel::setCaption(const QString &caption) {
    setText(caption);
    if (m_autoSize)
        resize(sizeHint());
}

} // namespace zarvoni
