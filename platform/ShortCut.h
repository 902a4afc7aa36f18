#pragma once

#include <QKeyCombination>
#include <QKeySequence>
#include <QString>
#include <cstdint>

class QKeyEvent;

// Key codes are the virtual-key numbers the settings and the hot-key registration were designed
// around: letters and digits are their upper-case ASCII codes, and the numbers the settings file
// holds (107 for the keypad's plus key, the "low byte" of a hot key) keep their meaning. They are
// stored data: never renumber them. (No member is called None: Xlib defines that word as a macro.)
namespace VKey {
constexpr uint8_t NoKey = 0x00, BkSp = 0x08, Tab = 0x09, Enter = 0x0D, Pause = 0x13, CapsLock = 0x14,
                  Esc = 0x1B, Space = 0x20, PgUp = 0x21, PgDn = 0x22, End = 0x23, Home = 0x24, Left = 0x25,
                  Up = 0x26, Right = 0x27, Down = 0x28, PrintScreen = 0x2C, Ins = 0x2D, Del = 0x2E;
constexpr uint8_t Digit0 = 0x30, LetterA = 0x41; // '0'..'9' and 'A'..'Z'
constexpr uint8_t Num0 = 0x60, NumMultiply = 0x6A, NumPlus = 0x6B, NumMinus = 0x6D, NumDecimal = 0x6E,
                  NumDivide = 0x6F;
constexpr uint8_t F1 = 0x70, F24 = 0x87, NumLock = 0x90, ScrollLock = 0x91;
// The punctuation keys of a US keyboard, named by their unshifted character.
constexpr uint8_t Semicolon = 0xBA, Equal = 0xBB, Comma = 0xBC, Minus = 0xBD, Period = 0xBE, Slash = 0xBF,
                  Grave = 0xC0, BracketLeft = 0xDB, Backslash = 0xDC, BracketRight = 0xDD, Apostrophe = 0xDE;
} // namespace VKey

// A key with its modifiers, as hot keys and menu items carry it. Key 0 is no shortcut, whatever the
// modifiers say.
struct TShortCut {
    uint8_t Key = VKey::NoKey;
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;

    bool IsEmpty() const { return Key == VKey::NoKey; }
    bool operator==(const TShortCut& other) const {
        if (IsEmpty() || other.IsEmpty()) return IsEmpty() == other.IsEmpty();
        return Key == other.Key && Shift == other.Shift && Ctrl == other.Ctrl && Alt == other.Alt;
    }

    // The one-word form of the class library: key in the low byte, Shift 0x2000, Ctrl 0x4000, Alt 0x8000.
    static constexpr uint16_t ShiftBit = 0x2000, CtrlBit = 0x4000, AltBit = 0x8000;
    uint16_t ToWord() const;
    static TShortCut FromWord(uint16_t word);
};

// "Shift+", "Ctrl+", "Alt+" (each when present, always in this order) and the key's name; empty
// text for the empty shortcut and for a key that has no name.
QString ShortCutToText(TShortCut shortCut);

// The reverse, as the class library reads it: any number of modifier words first, in any order and
// case ("^" also stands for Ctrl), then a key name compared without regard to case. Blanks are not
// skipped. A text that does not parse, or names no key, gives the empty shortcut.
TShortCut TextToShortCut(const QString& text);

// The name of a key code alone ("A", "F12", "PgDn", "Num +"); empty for a key without a name.
QString KeyName(uint8_t key);

// Qt's form of a shortcut, for Qt-side uses; keypad keys carry Qt::KeypadModifier.
QKeyCombination ToQKeyCombination(TShortCut shortCut);
QKeySequence ToQKeySequence(TShortCut shortCut);
// Back from Qt. A shifted symbol of a US keyboard ("!", "+") reads as its key ("1", "=").
TShortCut ShortCutFromQt(QKeyCombination combination);
TShortCut ShortCutFromQt(const QKeySequence& sequence);

// The key code of a key press, whatever the modifiers: Qt reports Shift+1 as "!", but the key is
// still "1". Under X11 the key is looked up from the hardware key code in the base keyboard group;
// elsewhere (or when that gives nothing) a US keyboard's shifted symbols are mapped back.
uint8_t KeyFromKeyEvent(const QKeyEvent& event);
// The key press as a shortcut: its key code with the Shift, Ctrl and Alt state of the event.
TShortCut ShortCutFromKeyEvent(const QKeyEvent& event);

// The X11 keysym of a key code (for grabbing global hot keys), 0 for a key without one; and back.
uint32_t KeyToKeysym(uint8_t key);
uint8_t KeysymToKey(uint32_t keysym);
inline uint32_t ShortCutToKeysym(TShortCut shortCut) {
    return KeyToKeysym(shortCut.Key);
}
