// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's controls as one table: a row per control, in creation order,
// which is also the stacking order from top to bottom.

#include <QRgb>
#include <QtGlobal>

#include <span>

namespace zarvoni {

enum class ControlKind { Timer, TextBox, PictureButton, Button, Label, Image };

enum class FontFace { Default, MsSansSerif, Arial, ArialBlack, TimesNewRoman };

struct FontSpec {
    FontFace face = FontFace::Default;
    double points = 0;
    bool bold = false;
    bool italic = false;
};

// Positions and sizes in twips: 15 twips are one pixel at 96 dots per inch.
struct TwipRect {
    int left = 0, top = 0, width = 0, height = 0;
};

constexpr int kTwipsPerPixel = 15;

// The window's client area below the menu bar, and its colour at creation.
constexpr TwipRect kClientArea = {0, 0, 11130, 8310};

// A colour left to the desktop's scheme.
constexpr QRgb kSystemColour = 0;

constexpr QRgb rgb(unsigned hex) {
    return 0xFF000000u | hex;
}

constexpr QRgb kWindowBackground = rgb(0x010062);

// The font of every control that has none of its own.
constexpr FontSpec kDefaultFont = {FontFace::MsSansSerif, 8.25, false, false};

enum class Fill { Transparent, Opaque };

struct ControlRow {
    const char *name = "";
    ControlKind kind = ControlKind::Label;
    const char16_t *caption = u"";
    TwipRect rect;
    int tabIndex = -1; // -1: takes no part in the tab order
    FontSpec font;
    QRgb textColour = kSystemColour;
    QRgb background = kSystemColour;
    Fill fill = Fill::Transparent;
    bool frame = false;
    bool centred = false;
    bool autoSize = false;
    const char16_t *tooltip = u"";
    // Images from the resources: the picture, and for cmdNext its pressed and
    // disabled faces.
    const char *image = nullptr;
    const char *pressedImage = nullptr;
    const char *disabledImage = nullptr;
    // What a screen reader calls the control, when its caption alone would not
    // say it; "%1" stands for the caption, so that the name follows it.
    const char16_t *spokenName = nullptr;
    // Left out of what a screen reader sees: covered by another control, or
    // showing nothing a pupil needs.
    bool silent = false;
    // Whether the control takes the keyboard focus (the text box and buttons).
    bool keyboardFocus = true;
};

std::span<const ControlRow> controlTable();

// The menu tree: each item names the item it opens from (nullptr: the menu bar).
struct MenuRow {
    const char *name;
    const char *parent;
    const char16_t *caption;
    bool checked;
};

std::span<const MenuRow> menuTable();

} // namespace zarvoni
