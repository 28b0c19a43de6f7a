// SPDX-License-Identifier: GPL-3.0-or-later
#include "tavola_design.h"

namespace ui {

using platform::ControlKind;
using platform::FontDesc;
using platform::RGB;

namespace {

const FontDesc sansSerif(double points, bool bold = false, bool italic = false)
{
    return {QStringLiteral("MS Sans Serif"), points, bold, italic};
}
const FontDesc arialBold(double points)
{
    return {QStringLiteral("Arial"), points, true, false};
}
const FontDesc timesBold(double points)
{
    return {QStringLiteral("Times New Roman"), points, true, false};
}

const auto cyan = RGB(0, 255, 255);
const auto magenta = RGB(192, 0, 192);
const auto darkGreen = RGB(0, 128, 0);

platform::WindowDesc build()
{
    platform::WindowDesc w;
    w.caption = QStringLiteral("Vorandi ");
    w.clientWidth = 10320;
    w.clientHeight = 8415;
    w.backColor = RGB(0, 0, 0);
    w.icon = QStringLiteral(":/pics/window.ico");
    w.cursor = QStringLiteral(":/pics/hand.cur");
    w.cursorHotX = 5;
    w.cursorHotY = 0;

    // Stored order: front-most first among labels and images, and among windowed controls.
    // One control per row, as the window is described.
    // clang-format off
    w.controls = {
        {.kind = ControlKind::Timer, .name = "Timer1", .interval = 1000},
        {.kind = ControlKind::TextBox, .name = "txtAnswer", .left = 7320, .top = 600,
         .width = 2415, .height = 1200, .tabIndex = 7, .font = arialBold(48), .backColor = cyan,
         .centred = true, .maxLength = answerLength,
         .toolTip = QStringLiteral("Inserisci il risultato e  premi il tasto  Invio"),
         .spokenName = QStringLiteral("Quanto fa {lblNum1} alla {lblNum2}?"),
         .spokenDescription = QStringLiteral("Inserisci il risultato e premi Invio. "
                                             "F2 o Control T dice il tempo restante.")},
        {.kind = ControlKind::CommandButton, .name = "cmdNext", .left = 480, .top = 6600,
         .width = 1455, .height = 855, .tabIndex = 2,
         .caption = QStringLiteral("&Nuovo calcolo"), .font = sansSerif(8.25, true),
         .backColor = cyan, .enabled = false, .iconPointer = true,
         .picture = QStringLiteral(":/pics/smile.ico"),
         .downPicture = QStringLiteral(":/pics/neutral.ico"),
         .disabledPicture = QStringLiteral(":/pics/laugh.ico"), .toolTip = QStringLiteral("Go"),
         .spokenDescription = QStringLiteral("{lblMessage}. Risposte esatte: {lblScore}, "
                                             "errate: {lblScore1}, totali: {lblScore2}")},
        {.kind = ControlKind::CommandButton, .name = "cmdExit", .left = 8400, .top = 6600,
         .width = 1455, .height = 855, .tabIndex = 0, .caption = QStringLiteral("E&xit"),
         .font = sansSerif(8.25, true), .backColor = magenta,
         .picture = QStringLiteral(":/pics/noentry.ico"),
         .toolTip = QStringLiteral(
             "Ti prego resta ancora, forse riuscirai a battere il record "),
         .spokenName = QStringLiteral("Exit, esci dal gioco")},
        {.kind = ControlKind::CommandButton, .name = "Command1", .left = 840, .top = 6840,
         .width = 855, .height = 615, .tabIndex = 14, .caption = QStringLiteral("Command1"),
         .spokenName = QStringLiteral("Nessuna azione")},
        {.kind = ControlKind::Label, .name = "Label5", .left = 3240, .top = 240, .width = 1575,
         .height = 375, .tabIndex = 24, .caption = QStringLiteral("Esponente"),
         .font = sansSerif(13.5), .foreColor = RGB(255, 128, 255)},
        {.kind = ControlKind::Label, .name = "Label2", .left = 3000, .top = 1440, .width = 1095,
         .height = 615, .tabIndex = 23, .caption = QStringLiteral("Base"),
         .font = FontDesc{QStringLiteral("MS Serif"), 24}, .foreColor = RGB(0, 255, 0)},
        {.kind = ControlKind::Label, .name = "lblNum1", .left = 4320, .top = 720, .width = 345,
         .height = 1185, .tabIndex = 5, .font = arialBold(48), .backColor = cyan, .border = true,
         .centred = true, .autoSize = true,
         .spokenName = QStringLiteral("{Label2} {lblNum1}")},
        {.kind = ControlKind::Label, .name = "lblNum2", .left = 5040, .top = 120, .width = 195,
         .height = 495, .tabIndex = 9, .font = arialBold(18), .backColor = cyan, .border = true,
         .centred = true, .autoSize = true,
         .spokenName = QStringLiteral("{Label5} {lblNum2}")},
        {.kind = ControlKind::Label, .name = "Label11", .left = 240, .top = 360, .width = 2175,
         .height = 375, .tabIndex = 22, .caption = QStringLiteral("Tempo restante"),
         .font = sansSerif(13.5), .foreColor = RGB(255, 255, 0)},
        {.kind = ControlKind::Label, .name = "lblconto", .left = 240, .top = 1200, .width = 1935,
         .height = 615, .tabIndex = 21, .caption = QStringLiteral("00.00.00"),
         .font = FontDesc{QStringLiteral("Arial Black"), 18, true},
         .foreColor = RGB(255, 255, 0), .border = true,
         .spokenName = QStringLiteral("{Label11}: {lblconto}"), .quiet = true},
        {.kind = ControlKind::Label, .name = "Label14", .left = 480, .top = 5520, .width = 1425,
         .height = 420, .tabIndex = 20, .caption = QStringLiteral("Sfidante"),
         .font = sansSerif(13.5), .foreColor = darkGreen, .border = true, .centred = true,
         .autoSize = true},
        {.kind = ControlKind::Label, .name = "Label13", .left = 7680, .top = 7440, .width = 1455,
         .height = 435, .tabIndex = 19, .caption = QStringLiteral("con punti"),
         .font = sansSerif(18), .foreColor = magenta, .autoSize = true},
        {.kind = ControlKind::Label, .name = "lblpunti", .left = 9480, .top = 7440, .width = 270,
         .height = 555, .tabIndex = 18, .caption = QStringLiteral("0"), .font = sansSerif(24),
         .foreColor = magenta, .autoSize = true,
         .spokenName = QStringLiteral("{Label13} {lblpunti}")},
        {.kind = ControlKind::Label, .name = "Label12", .left = 1080, .top = 7440, .width = 2295,
         .height = 375, .tabIndex = 17, .caption = QStringLiteral("Il record  è di "),
         .font = sansSerif(18), .foreColor = magenta},
        {.kind = ControlKind::Label, .name = "lblnome1", .left = 480, .top = 6120, .width = 165,
         .height = 420, .tabIndex = 16, .font = sansSerif(13.5, true), .foreColor = darkGreen,
         .border = true, .autoSize = true,
         .spokenName = QStringLiteral("{Label14}: {lblnome1}")},
        {.kind = ControlKind::Label, .name = "lblnome", .left = 3480, .top = 7440, .width = 990,
         .height = 435, .tabIndex = 15, .caption = QStringLiteral("nome"),
         .font = sansSerif(18, true), .foreColor = RGB(0, 0, 255), .autoSize = true,
         .spokenName = QStringLiteral("{Label12} {lblnome} {Label13} {lblpunti}")},
        {.kind = ControlKind::Label, .name = "Label3", .left = 7440, .top = 3360, .width = 2340,
         .height = 495, .tabIndex = 13, .caption = QStringLiteral("Risposte totali"),
         .font = sansSerif(18), .foreColor = cyan, .border = true, .autoSize = true},
        {.kind = ControlKind::Label, .name = "Label1", .left = 3600, .top = 3360, .width = 2520,
         .height = 495, .tabIndex = 12, .caption = QStringLiteral("Risposte errate"),
         .font = sansSerif(18), .foreColor = RGB(255, 0, 0), .border = true, .autoSize = true},
        {.kind = ControlKind::Label, .name = "lblScore2", .left = 8400, .top = 4200, .width = 555,
         .height = 885, .tabIndex = 11, .caption = QStringLiteral("0"), .font = timesBold(36),
         .foreColor = cyan, .border = true, .centred = true, .autoSize = true,
         .spokenName = QStringLiteral("{Label3}: {lblScore2}")},
        {.kind = ControlKind::Label, .name = "lblScore1", .left = 4560, .top = 4080, .width = 540,
         .height = 885, .tabIndex = 3, .caption = QStringLiteral("0"), .font = timesBold(36),
         .foreColor = RGB(255, 0, 0), .border = true, .centred = true, .autoSize = true,
         .spokenName = QStringLiteral("{Label1}: {lblScore1}")},
        {.kind = ControlKind::Image, .name = "Image1", .left = 960, .top = 720, .width = 480,
         .height = 480, .picture = QStringLiteral(":/pics/stopwatch.ico"),
         .toolTip = QStringLiteral("Clicca sotto di me per impostare il Timer")},
        {.kind = ControlKind::Label, .name = "lblTime", .left = 8400, .top = 1800, .width = 90,
         .height = 300, .tabIndex = 10, .font = sansSerif(12, true), .autoSize = true,
         .toolTip = QStringLiteral("Clicca sotto di me per attivare il Timer")},
        {.kind = ControlKind::Label, .name = "Label4", .left = 6000, .top = 480, .width = 615,
         .height = 1455, .tabIndex = 6, .caption = QStringLiteral("="), .font = arialBold(72),
         .foreColor = RGB(255, 0, 0), .centred = true,
         .spokenName = QStringLiteral("Quanto fa {lblNum1} alla {lblNum2}?")},
        {.kind = ControlKind::Label, .name = "lblScore", .left = 1080, .top = 4080, .width = 555,
         .height = 885, .tabIndex = 4, .caption = QStringLiteral("0"), .font = timesBold(36),
         .foreColor = RGB(128, 255, 128), .border = true, .centred = true, .autoSize = true,
         .toolTip = QStringLiteral("Questo è il tuo punteggio. Forza con il  record"),
         .spokenName = QStringLiteral("{Label6}: {lblScore}")},
        {.kind = ControlKind::Label, .name = "lblMessage", .left = 1680, .top = 2040,
         .width = 6615, .height = 615, .tabIndex = 1, .font = sansSerif(24, true, true),
         .foreColor = RGB(255, 0, 0), .centred = true, .iconPointer = true},
        {.kind = ControlKind::Label, .name = "Label6", .left = 240, .top = 3360, .width = 2565,
         .height = 495, .tabIndex = 8, .caption = QStringLiteral("Risposte esatte"),
         .font = sansSerif(18), .foreColor = RGB(0, 255, 0), .border = true, .centred = true,
         .autoSize = true},
        {.kind = ControlKind::Image, .name = "Image2", .left = 120, .top = 120, .width = 10065,
         .height = 8160, .picture = QStringLiteral(":/pics/background.bmp"), .stretch = true},
    };

    w.menus = {
        {.name = "INFOMAZIONI",
         .caption = QStringLiteral("INFORMAZIONI"),
         .items = {{.name = "Ciao",
                    .caption = QStringLiteral("Programma didattico ad uso libero degli alunni "
                                              "della Scuola Primaria Girasole di Borgo Fiorito "
                                              "(Valdicorte).")}}},
        {.name = "copyr",
         .caption = QStringLiteral("COPYRIGHT"),
         .items = {{.name = "copy",
                    .caption = QStringLiteral(
                        "A. Rondine e B. Falco - via dei Tigli 17 - Borgo Fiorito (AV)")}}},
        {.name = "Next", .caption = QStringLiteral("NUOVO GIOCO")},
    };
    // clang-format on
    w.spokenMenuBarName = QStringLiteral("Menu del gioco");
    return w;
}

} // namespace

const platform::WindowDesc &tavolaDesign()
{
    static const platform::WindowDesc design = build();
    return design;
}

} // namespace ui
