// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controltable.h"

#include <array>

namespace zarvoni {

namespace {

constexpr FontSpec msSansSerif(double points, bool bold = false, bool italic = false) {
    return {FontFace::MsSansSerif, points, bold, italic};
}
constexpr FontSpec arial(double points, bool bold = false) {
    return {FontFace::Arial, points, bold, false};
}
constexpr FontSpec arialBlack(double points) {
    return {FontFace::ArialBlack, points, true, false};
}
constexpr FontSpec timesNewRoman(double points, bool bold = false) {
    return {FontFace::TimesNewRoman, points, bold, false};
}

constexpr QRgb kCyan = rgb(0x00FFFF);
constexpr QRgb kYellow = rgb(0xFFFF00);
constexpr bool kBold = true;

using K = ControlKind;

// clang-format off
constexpr std::array kControls = {
    ControlRow{.name = "Timer1", .kind = K::Timer},
    ControlRow{.name = "txtAnswer", .kind = K::TextBox, .rect = {8280, 1560, 2775, 1200},
               .tabIndex = 7, .font = arial(48, kBold), .background = kCyan, .frame = true,
               .tooltip = u"Inserisci il risultato e  premi il tasto  Invio"},
    ControlRow{.name = "cmdNext", .kind = K::PictureButton, .caption = u"&Nuovo calcolo",
               .rect = {480, 5160, 1815, 1095}, .tabIndex = 2, .font = msSansSerif(8.25, kBold),
               .background = kCyan, .tooltip = u"Go", .image = ":/images/face-smile.svg",
               .pressedImage = ":/images/face-laugh.svg",
               .disabledImage = ":/images/face-neutral.svg"},
    ControlRow{.name = "cmdExit", .kind = K::PictureButton, .caption = u"E&xit",
               .rect = {8880, 5160, 1815, 1095}, .tabIndex = 0, .font = msSansSerif(8.25, kBold),
               .background = rgb(0xC000C0),
               .tooltip = u"Ti prego resta ancora, forse riuscirai a farmi uscire ",
               .image = ":/images/no-entry.svg"},
    ControlRow{.name = "Command1", .kind = K::Button, .caption = u"Command1",
               .rect = {720, 5520, 855, 615}, .tabIndex = 14, .silent = true,
               .keyboardFocus = false},
    ControlRow{.name = "Label2", .caption = u"SFIDANTE", .rect = {3120, 6600, 2055, 615},
               .tabIndex = 27, .font = timesNewRoman(18), .textColour = kYellow},
    ControlRow{.name = "lblnome", .caption = u"Label8", .rect = {2595, 7560, 1215, 435},
               .tabIndex = 26, .font = msSansSerif(18, kBold), .textColour = kCyan,
               .centred = true, .autoSize = true},
    ControlRow{.name = "lblnome1", .caption = u"Label3", .rect = {5280, 6600, 1005, 525},
               .tabIndex = 25, .font = timesNewRoman(18), .textColour = kYellow,
               .autoSize = true},
    ControlRow{.name = "lblpunti", .caption = u"Label3", .rect = {9600, 7560, 1215, 495},
               .tabIndex = 24, .font = msSansSerif(18, kBold), .textColour = kCyan},
    ControlRow{.name = "Label7", .caption = u"con punti", .rect = {7680, 7560, 1695, 495},
               .tabIndex = 23, .font = msSansSerif(18, kBold), .textColour = kCyan},
    ControlRow{.name = "lblini", .caption = u"Il record è di", .rect = {240, 7560, 2235, 435},
               .tabIndex = 22, .font = msSansSerif(18, kBold), .textColour = kCyan,
               .autoSize = true},
    ControlRow{.name = "lblconto", .caption = u"15.00.00", .rect = {8880, 600, 1575, 495},
               .tabIndex = 21, .font = arialBlack(12), .textColour = kYellow, .frame = true,
               .spokenName = u"Tempo restante: %1"},
    ControlRow{.name = "tempo", .caption = u"Tempo restante", .rect = {8400, 120, 2295, 375},
               .tabIndex = 20, .font = msSansSerif(13.5, kBold), .textColour = rgb(0xFFFF80),
               .frame = true},
    ControlRow{.name = "Lblsegno2", .caption = u"+", .rect = {6000, 480, 735, 855},
               .tabIndex = 19, .font = arial(48), .textColour = kCyan, .spokenName = u"più"},
    ControlRow{.name = "Lblsegno", .caption = u"+", .rect = {1560, 360, 615, 975},
               .tabIndex = 18, .font = arial(48), .textColour = kCyan, .spokenName = u"più"},
    ControlRow{.name = "Label5", .caption = u"X =", .rect = {6480, 1560, 1695, 1215},
               .tabIndex = 17, .font = arial(48), .textColour = rgb(0xFF00FF),
               .tooltip = u"Ricorda:    M= E x E1 /M1 mentre  E= M x M1 /E1", .silent = true},
    ControlRow{.name = "lblNum4", .rect = {6840, 240, 330, 1185}, .tabIndex = 16,
               .font = arial(48, kBold), .background = kCyan, .fill = Fill::Opaque,
               .frame = true, .autoSize = true},
    ControlRow{.name = "lblNum3", .rect = {4950, 240, 345, 1185}, .tabIndex = 15,
               .font = arial(48, kBold), .background = kCyan, .fill = Fill::Opaque,
               .frame = true, .centred = true, .autoSize = true},
    ControlRow{.name = "Label3", .caption = u"Risposte totali", .rect = {8520, 3360, 2340, 495},
               .tabIndex = 13, .font = msSansSerif(18), .textColour = rgb(0x0000FF),
               .frame = true, .autoSize = true},
    ControlRow{.name = "Label1", .caption = u"Risposte errate", .rect = {4440, 3360, 2520, 495},
               .tabIndex = 12, .font = msSansSerif(18), .textColour = rgb(0xFF0000),
               .frame = true, .autoSize = true},
    ControlRow{.name = "lblScore2", .caption = u"0", .rect = {9480, 4080, 555, 885},
               .tabIndex = 11, .font = timesNewRoman(36, kBold), .textColour = rgb(0x0000FF),
               .frame = true, .centred = true, .autoSize = true,
               .spokenName = u"Risposte totali: %1"},
    ControlRow{.name = "lblScore1", .caption = u"0", .rect = {5520, 4080, 540, 885},
               .tabIndex = 3, .font = timesNewRoman(36, kBold), .textColour = rgb(0xFF0000),
               .frame = true, .centred = true, .autoSize = true,
               .spokenName = u"Risposte errate: %1"},
    ControlRow{.name = "Image1", .kind = K::Image, .rect = {8400, 600, 480, 480},
               .tooltip = u"Clicca sotto di me per impostare il Timer",
               .image = ":/images/stopwatch.svg", .spokenName = u"Cronometro"},
    ControlRow{.name = "lblTime", .rect = {8400, 1800, 90, 300}, .tabIndex = 10,
               .font = msSansSerif(12, kBold), .autoSize = true,
               .tooltip = u"Clicca sotto di me per attivare il Timer", .silent = true},
    ControlRow{.name = "lblNum2", .rect = {2880, 240, 345, 1185}, .tabIndex = 9,
               .font = arial(48, kBold), .background = kCyan, .fill = Fill::Opaque,
               .frame = true, .centred = true, .autoSize = true},
    ControlRow{.name = "Label4", .caption = u"=", .rect = {3720, 360, 615, 975}, .tabIndex = 6,
               .font = arial(48, kBold), .textColour = kCyan, .centred = true,
               .spokenName = u"uguale"},
    ControlRow{.name = "lblNum1", .rect = {600, 240, 345, 1305}, .tabIndex = 5,
               .font = arial(48, kBold), .background = kCyan, .fill = Fill::Opaque,
               .frame = true, .centred = true, .autoSize = true},
    ControlRow{.name = "lblScore", .caption = u"0", .rect = {1080, 4080, 555, 885},
               .tabIndex = 4, .font = timesNewRoman(36, kBold), .frame = true, .centred = true,
               .autoSize = true, .tooltip = u"Questo è il tuo punteggio. Forza con il  record",
               .spokenName = u"Risposte esatte: %1"},
    ControlRow{.name = "lblMessage", .rect = {240, 1920, 5775, 615}, .tabIndex = 1,
               .font = msSansSerif(24, kBold, true), .textColour = rgb(0xFF0000),
               .centred = true},
    ControlRow{.name = "Label6", .caption = u"Risposte esatte", .rect = {240, 3360, 2565, 495},
               .tabIndex = 8, .font = msSansSerif(18), .textColour = rgb(0x00C000),
               .frame = true, .centred = true, .autoSize = true},
};

constexpr std::array kMenus = {
    MenuRow{"Next", nullptr, u"Nuovo  gioco", false},
    MenuRow{"INFOMAZIONI", "Next", u"www.zarvoni.example", true},
    MenuRow{"Ciao", "INFOMAZIONI", u"Laboratorio di matematica della scuola", true},
    MenuRow{"Tmer", "Ciao",
            u"Se vuoi attivare il timer per determinare la durata del gioco clicca sotto l'orologio",
            false},
    MenuRow{"copy", "INFOMAZIONI", u"© Gli autori di Zarvoni - zarvoni@example.org", true},
    MenuRow{"cop", "copy", u"Programma  freeware", false},
};
// clang-format on

} // namespace

std::span<const ControlRow> controlTable() {
    return kControls;
}

std::span<const MenuRow> menuTable() {
    return kMenus;
}

} // namespace zarvoni
