#include "Colors.h"

#include <QGuiApplication>
#include <QPalette>

const TColorName ColorNames[52] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clActiveBorder", clActiveBorder},
    {"clActiveCaption", clActiveCaption},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clBackground", clBackground},
    {"clBtnFace", clBtnFace},
    {"clBtnHighlight", clBtnHighlight},
    {"clBtnShadow", clBtnShadow},
    {"clBtnText", clBtnText},
    {"clCaptionText", clCaptionText},
    {"clDefault", clDefault},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clGrayText", clGrayText},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clHotLight", clHotLight},
    {"clInactiveBorder", clInactiveBorder},
    {"clInactiveCaption", clInactiveCaption},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clInfoBk", clInfoBk},
    {"clInfoText", clInfoText},
    {"clMenu", clMenu},
    {"clMenuBar", clMenuBar},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuText", clMenuText},
    {"clNone", clNone},
    {"clScrollBar", clScrollBar},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clWindowText", clWindowText},
};

namespace {

struct SystemColorRole {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
    // Used when no application palette exists (tests without an application object, tools).
    QRgb Fallback;
};

SystemColorRole SystemRole(unsigned index) {
    using P = QPalette;
    switch (index) {
    case 0:
        return {P::Active, P::Button, 0xC8C8C8}; // scroll bar
    case 1:
        return {P::Active, P::Dark, 0x3A6EA5}; // desktop background
    case 2:
        return {P::Active, P::Highlight, 0x0A246A}; // active caption
    case 3:
        return {P::Inactive, P::Mid, 0x808080}; // inactive caption
    case 4:
        return {P::Active, P::Window, 0xD4D0C8}; // menu
    case 5:
        return {P::Active, P::Base, 0xFFFFFF}; // window
    case 6:
        return {P::Active, P::Shadow, 0x000000}; // window frame
    case 7:
        return {P::Active, P::WindowText, 0x000000}; // menu text
    case 8:
        return {P::Active, P::Text, 0x000000}; // window text
    case 9:
        return {P::Active, P::HighlightedText, 0xFFFFFF}; // caption text
    case 10:
        return {P::Active, P::Window, 0xD4D0C8}; // active border
    case 11:
        return {P::Inactive, P::Window, 0xD4D0C8}; // inactive border
    case 12:
        return {P::Active, P::Dark, 0x808080}; // application workspace
    case 13:
        return {P::Active, P::Highlight, 0x0A246A}; // highlight
    case 14:
        return {P::Active, P::HighlightedText, 0xFFFFFF}; // highlight text
    case 15:
        return {P::Active, P::Button, 0xD4D0C8}; // button face
    case 16:
        return {P::Active, P::Mid, 0x808080}; // button shadow
    case 17:
        return {P::Disabled, P::Text, 0x808080}; // grey text
    case 18:
        return {P::Active, P::ButtonText, 0x000000}; // button text
    case 19:
        return {P::Inactive, P::HighlightedText, 0xD4D0C8}; // inactive caption text
    case 20:
        return {P::Active, P::Light, 0xFFFFFF}; // button highlight
    case 21:
        return {P::Active, P::Shadow, 0x404040}; // 3-D dark shadow
    case 22:
        return {P::Active, P::Midlight, 0xD4D0C8}; // 3-D light
    case 23:
        return {P::Active, P::ToolTipText, 0x000000}; // info text
    case 24:
        return {P::Active, P::ToolTipBase, 0xFFFFE1}; // info background
    case 26:
        return {P::Active, P::Link, 0x000080}; // hot light
    case 27:
        return {P::Active, P::Highlight, 0xA6CAF0}; // gradient active caption
    case 28:
        return {P::Inactive, P::Mid, 0xC0C0C0}; // gradient inactive caption
    case 29:
        return {P::Active, P::Highlight, 0x316AC5}; // menu highlight
    case 30:
        return {P::Active, P::Window, 0xD4D0C8}; // menu bar
    default:
        return {P::Active, P::Window, 0xD4D0C8};
    }
}

TColor FromRgb(QRgb rgb) {
    return (qBlue(rgb) << 16) | (qGreen(rgb) << 8) | qRed(rgb);
}

} // namespace

TColor ColorToRGB(TColor color) {
    if (color == clNone) return clWhite;
    if (color == clDefault) return clBlack;
    if ((color & 0xFF000000) == clSystemColor) {
        const SystemColorRole role = SystemRole(color & 0xFF);
        if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return FromRgb(QGuiApplication::palette().color(role.Group, role.Role).rgb());
        return FromRgb(role.Fallback);
    }
    return color & 0x00FFFFFF;
}

QColor ToQColor(TColor color) {
    const TColor c = ColorToRGB(color);
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

TColor FromQColor(const QColor& color) {
    return FromRgb(color.rgb());
}

uint32_t ToPixel(TColor color) {
    const TColor c = ColorToRGB(color);
    return 0xFF000000u | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
