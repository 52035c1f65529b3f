// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controlfactory.h"

#include "app/captionlabel.h"
#include "app/images.h"
#include "app/picturebutton.h"
#include "app/surface.h"

#include <QHash>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zarvoni {

namespace {

constexpr int kTimerIntervalMs = 500;
constexpr int kAnswerMaxLength = 4;
constexpr double kPixelsPerPoint = 96.0 / 72.0;

QStringList familiesFor(FontFace face) {
    switch (face) {
    case FontFace::Arial:
        return {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
    case FontFace::ArialBlack:
        return {QStringLiteral("Arial Black"), QStringLiteral("Liberation Sans")};
    case FontFace::TimesNewRoman:
        return {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")};
    case FontFace::Default:
    case FontFace::MsSansSerif:
        break;
    }
    return {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans")};
}

void setColour(QWidget *widget, QPalette::ColorRole role, QRgb colour) {
    if (colour == kSystemColour)
        return;
    QPalette palette = widget->palette();
    palette.setColor(role, QColor::fromRgb(colour));
    widget->setPalette(palette);
}

QWidget *makeLabel(const ControlRow &row, QWidget *surface) {
    auto *label = new CaptionLabel(surface);
    label->setCaption(QString::fromUtf16(row.caption));
    label->setAlignment(Qt::AlignTop | (row.centred ? Qt::AlignHCenter : Qt::AlignLeft));
    label->setAutoSize(row.autoSize);
    if (row.frame)
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
    setColour(label, QPalette::WindowText, row.textColour);
    if (row.fill == Fill::Opaque) {
        label->setAutoFillBackground(true);
        setColour(label, QPalette::Window, row.background);
    }
    return label;
}

QWidget *makeTextBox(const ControlRow &row, QWidget *surface) {
    auto *box = new QLineEdit(surface);
    box->setMaxLength(kAnswerMaxLength);
    box->setFrame(row.frame);
    box->setAccessibleName(QStringLiteral("Risposta"));
    setColour(box, QPalette::Base, row.background);
    setColour(box, QPalette::Text, row.textColour);
    return box;
}

QWidget *makeButton(const ControlRow &row, QWidget *surface) {
    QPushButton *button = nullptr;
    if (row.kind == ControlKind::PictureButton) {
        auto *pictureButton = new PictureButton(surface);
        const QIcon normal = svgIcon(row.image);
        pictureButton->setPictures(normal, row.pressedImage ? svgIcon(row.pressedImage) : normal,
                                   row.disabledImage ? svgIcon(row.disabledImage) : normal);
        button = pictureButton;
    } else {
        button = new QPushButton(surface);
        button->setAutoDefault(true);
    }
    button->setText(QString::fromUtf16(row.caption));
    setColour(button, QPalette::Button, row.background);
    setColour(button, QPalette::ButtonText, row.textColour);
    return button;
}

QWidget *makeImage(const ControlRow &row, QWidget *surface) {
    auto *image = new QLabel(surface);
    const int size = row.rect.width / kTwipsPerPixel;
    image->setPixmap(pictureAt(svgIcon(row.image), size, surface->devicePixelRatioF()));
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop); // natural size, not stretched
    return image;
}

QWidget *makeWidget(const ControlRow &row, QWidget *surface) {
    switch (row.kind) {
    case ControlKind::TextBox:
        return makeTextBox(row, surface);
    case ControlKind::PictureButton:
    case ControlKind::Button:
        return makeButton(row, surface);
    case ControlKind::Image:
        return makeImage(row, surface);
    case ControlKind::Label:
    case ControlKind::Timer:
        break;
    }
    return makeLabel(row, surface);
}

// What a screen reader makes of the control; none of it shows on screen.
void setSpeech(const ControlRow &row, QWidget *widget) {
    if (row.spokenName) {
        const QString name = QString::fromUtf16(row.spokenName);
        if (auto *label = qobject_cast<CaptionLabel *>(widget))
            label->setSpokenName(name);
        else
            widget->setAccessibleName(name);
    }
    if (row.silent)
        Surface::setSilent(widget);
    if (!row.keyboardFocus)
        widget->setFocusPolicy(Qt::NoFocus);
}

bool liesAboveLabels(ControlKind kind) {
    return kind == ControlKind::TextBox || kind == ControlKind::Button ||
           kind == ControlKind::PictureButton;
}

} // namespace

QRect pixelRect(const TwipRect &rect) {
    return {rect.left / kTwipsPerPixel, rect.top / kTwipsPerPixel, rect.width / kTwipsPerPixel,
            rect.height / kTwipsPerPixel};
}

QFont fontFor(const FontSpec &style) {
    QFont font;
    font.setFamilies(familiesFor(style.face));
    font.setPixelSize(static_cast<int>(std::lround(style.points * kPixelsPerPoint)));
    font.setBold(style.bold);
    font.setItalic(style.italic);
    return font;
}

void buildControls(QWidget *surface, QObject *timerOwner) {
    std::vector<std::pair<const ControlRow *, QWidget *>> made;
    for (const ControlRow &row : controlTable()) {
        if (row.kind == ControlKind::Timer) {
            auto *timer = new QTimer(timerOwner);
            timer->setObjectName(QString::fromLatin1(row.name));
            timer->setTimerType(Qt::PreciseTimer);
            timer->setInterval(kTimerIntervalMs);
            timer->start();
            continue;
        }
        QWidget *widget = makeWidget(row, surface);
        widget->setObjectName(QString::fromLatin1(row.name));
        if (row.font.face != FontFace::Default)
            widget->setFont(fontFor(row.font));
        widget->setGeometry(pixelRect(row.rect));
        widget->setToolTip(QString::fromUtf16(row.tooltip));
        setSpeech(row, widget);
        made.emplace_back(&row, widget);
    }

    // Later siblings lie above earlier ones: raise from the last row to the first,
    // then lift the text box and the buttons above everything else.
    std::ranges::for_each(made.rbegin(), made.rend(),
                          [](const auto &entry) { entry.second->raise(); });
    std::ranges::for_each(made.rbegin(), made.rend(), [](const auto &entry) {
        if (liesAboveLabels(entry.first->kind))
            entry.second->raise();
    });

    std::vector<std::pair<int, QWidget *>> focusable;
    for (const auto &[row, widget] : made) {
        if (liesAboveLabels(row->kind))
            focusable.emplace_back(row->tabIndex, widget);
    }
    std::ranges::sort(focusable);
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QWidget::setTabOrder(focusable[i - 1].second, focusable[i].second);
}

void buildMenus(QMenuBar *bar) {
    QHash<QString, QMenu *> menus;
    const auto rows = menuTable();
    const auto hasChildren = [&rows](const char *name) {
        return std::ranges::any_of(rows, [name](const MenuRow &row) {
            return row.parent && qstrcmp(row.parent, name) == 0;
        });
    };
    for (const MenuRow &row : rows) {
        const QString name = QString::fromLatin1(row.name);
        const QString caption = QString::fromUtf16(row.caption);
        QWidget *parent = row.parent ? static_cast<QWidget *>(menus.value(row.parent)) : bar;
        QAction *action = nullptr;
        if (hasChildren(row.name)) {
            auto *menu = new QMenu(caption, parent);
            menu->setObjectName(name);
            menus.insert(name, menu);
            action = menu->menuAction();
        } else {
            action = new QAction(caption, parent);
        }
        action->setObjectName(name);
        action->setCheckable(row.checked);
        action->setChecked(row.checked);
        if (row.parent)
            menus.value(row.parent)->addAction(action);
        else
            bar->addAction(action);
    }
}

} // namespace zarvoni
