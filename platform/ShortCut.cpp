#include "ShortCut.h"

#include "X11KeyMap.h"

#include <QKeyEvent>
#include <utility>

namespace {

// Keys other than letters, digits, keypad digits and function keys, with the class library's names
// (those it does not fix itself are the names the keyboard gives them on a US layout).
struct TKeyInfo {
    uint8_t Key;
    const char* Name;
    uint32_t Keysym;
    int QtKey;
    bool Keypad;
};

constexpr TKeyInfo NamedKeys[] = {
    {VKey::BkSp, "BkSp", 0xFF08, Qt::Key_Backspace, false},
    {VKey::Tab, "Tab", 0xFF09, Qt::Key_Tab, false},
    {VKey::Enter, "Enter", 0xFF0D, Qt::Key_Return, false},
    {VKey::Pause, "Pause", 0xFF13, Qt::Key_Pause, false},
    {VKey::CapsLock, "Caps Lock", 0xFFE5, Qt::Key_CapsLock, false},
    {VKey::Esc, "Esc", 0xFF1B, Qt::Key_Escape, false},
    {VKey::Space, "Space", 0x0020, Qt::Key_Space, false},
    {VKey::PgUp, "PgUp", 0xFF55, Qt::Key_PageUp, false},
    {VKey::PgDn, "PgDn", 0xFF56, Qt::Key_PageDown, false},
    {VKey::End, "End", 0xFF57, Qt::Key_End, false},
    {VKey::Home, "Home", 0xFF50, Qt::Key_Home, false},
    {VKey::Left, "Left", 0xFF51, Qt::Key_Left, false},
    {VKey::Up, "Up", 0xFF52, Qt::Key_Up, false},
    {VKey::Right, "Right", 0xFF53, Qt::Key_Right, false},
    {VKey::Down, "Down", 0xFF54, Qt::Key_Down, false},
    {VKey::PrintScreen, "Prnt Scrn", 0xFF61, Qt::Key_Print, false},
    {VKey::Ins, "Ins", 0xFF63, Qt::Key_Insert, false},
    {VKey::Del, "Del", 0xFFFF, Qt::Key_Delete, false},
    {VKey::NumMultiply, "Num *", 0xFFAA, Qt::Key_Asterisk, true},
    {VKey::NumPlus, "Num +", 0xFFAB, Qt::Key_Plus, true},
    {VKey::NumMinus, "Num -", 0xFFAD, Qt::Key_Minus, true},
    {VKey::NumDecimal, "Num Del", 0xFFAE, Qt::Key_Period, true},
    {VKey::NumDivide, "Num /", 0xFFAF, Qt::Key_Slash, true},
    {VKey::NumLock, "Num Lock", 0xFF7F, Qt::Key_NumLock, false},
    {VKey::ScrollLock, "Scroll Lock", 0xFF14, Qt::Key_ScrollLock, false},
    {VKey::Semicolon, ";", 0x003B, Qt::Key_Semicolon, false},
    {VKey::Equal, "=", 0x003D, Qt::Key_Equal, false},
    {VKey::Comma, ",", 0x002C, Qt::Key_Comma, false},
    {VKey::Minus, "-", 0x002D, Qt::Key_Minus, false},
    {VKey::Period, ".", 0x002E, Qt::Key_Period, false},
    {VKey::Slash, "/", 0x002F, Qt::Key_Slash, false},
    {VKey::Grave, "`", 0x0060, Qt::Key_QuoteLeft, false},
    {VKey::BracketLeft, "[", 0x005B, Qt::Key_BracketLeft, false},
    {VKey::Backslash, "\\", 0x005C, Qt::Key_Backslash, false},
    {VKey::BracketRight, "]", 0x005D, Qt::Key_BracketRight, false},
    {VKey::Apostrophe, "'", 0x0027, Qt::Key_Apostrophe, false},
};

// The shifted symbols of a US keyboard and the key that carries each; Qt's key codes for them are
// their ASCII codes. Used where the real keyboard cannot be asked.
constexpr std::pair<char, uint8_t> UsShiftedSymbols[] = {
    {'!', '1'},
    {'@', '2'},
    {'#', '3'},
    {'$', '4'},
    {'%', '5'},
    {'^', '6'},
    {'&', '7'},
    {'*', '8'},
    {'(', '9'},
    {')', '0'},
    {'_', VKey::Minus},
    {'+', VKey::Equal},
    {'{', VKey::BracketLeft},
    {'}', VKey::BracketRight},
    {'|', VKey::Backslash},
    {':', VKey::Semicolon},
    {'"', VKey::Apostrophe},
    {'<', VKey::Comma},
    {'>', VKey::Period},
    {'?', VKey::Slash},
    {'~', VKey::Grave},
};

constexpr int FunctionKeyCount = VKey::F24 - VKey::F1 + 1;
constexpr uint32_t KeysymF1 = 0xFFBE, KeysymKeypad0 = 0xFFB0, KeysymKeypadEnter = 0xFF8D,
                   KeysymLeftTab = 0xFE20, KeysymLowerA = 0x61;

const TKeyInfo* FindNamed(uint8_t key) {
    for (const TKeyInfo& info : NamedKeys)
        if (info.Key == key) return &info;
    return nullptr;
}

bool IsDigit(uint8_t key) {
    return key >= VKey::Digit0 && key <= VKey::Digit0 + 9;
}
bool IsLetter(uint8_t key) {
    return key >= VKey::LetterA && key <= VKey::LetterA + 25;
}
bool IsKeypadDigit(uint8_t key) {
    return key >= VKey::Num0 && key <= VKey::Num0 + 9;
}
bool IsFunctionKey(uint8_t key) {
    return key >= VKey::F1 && key <= VKey::F24;
}

uint8_t KeyFromQtKey(int qtKey, bool keypad) {
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
            return static_cast<uint8_t>(VKey::Num0 + qtKey - Qt::Key_0);
        // Locales with a decimal comma send a comma from the keypad's decimal key.
        if (qtKey == Qt::Key_Comma) return VKey::NumDecimal;
        for (const TKeyInfo& info : NamedKeys)
            if (info.Keypad && info.QtKey == qtKey) return info.Key;
        // Without Num Lock the keypad sends Home, End, the arrows and so on: those are the keys.
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return static_cast<uint8_t>(qtKey);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return static_cast<uint8_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey < Qt::Key_F1 + FunctionKeyCount)
        return static_cast<uint8_t>(VKey::F1 + qtKey - Qt::Key_F1);
    if (qtKey == Qt::Key_Enter) return VKey::Enter;
    if (qtKey == Qt::Key_Backtab) return VKey::Tab;
    for (const TKeyInfo& info : NamedKeys)
        if (!info.Keypad && info.QtKey == qtKey) return info.Key;
    for (const auto& [symbol, key] : UsShiftedSymbols)
        if (qtKey == symbol) return key;
    return VKey::NoKey;
}

uint8_t KeyFromX11Keycode(uint32_t keycode) {
    // Level 0 is the key's plain symbol; level 1 catches layouts whose digits need Shift (AZERTY),
    // where the key still counts as the digit.
    for (int level = 0; level <= 1; ++level) {
        const uint8_t key = KeysymToKey(X11KeycodeKeysym(keycode, level));
        if (key != VKey::NoKey) return key;
    }
    return VKey::NoKey;
}

} // namespace

uint16_t TShortCut::ToWord() const {
    if (IsEmpty()) return 0;
    return static_cast<uint16_t>(Key | (Shift ? ShiftBit : 0) | (Ctrl ? CtrlBit : 0) | (Alt ? AltBit : 0));
}

TShortCut TShortCut::FromWord(uint16_t word) {
    TShortCut result;
    result.Key = static_cast<uint8_t>(word & 0xFF);
    if (result.IsEmpty()) return result;
    result.Shift = word & ShiftBit;
    result.Ctrl = word & CtrlBit;
    result.Alt = word & AltBit;
    return result;
}

QString KeyName(uint8_t key) {
    if (IsDigit(key) || IsLetter(key)) return QString(QChar(key));
    // Keypad digits keep their own name so that a keypad hot key reads back as the same key.
    if (IsKeypadDigit(key)) return QStringLiteral("Num ") + QChar('0' + key - VKey::Num0);
    if (IsFunctionKey(key)) return QStringLiteral("F") + QString::number(key - VKey::F1 + 1);
    if (const TKeyInfo* info = FindNamed(key)) return QString::fromLatin1(info->Name);
    return QString();
}

QString ShortCutToText(TShortCut shortCut) {
    const QString name = KeyName(shortCut.Key);
    if (name.isEmpty()) return QString();
    QString text;
    if (shortCut.Shift) text += QStringLiteral("Shift+");
    if (shortCut.Ctrl) text += QStringLiteral("Ctrl+");
    if (shortCut.Alt) text += QStringLiteral("Alt+");
    return text + name;
}

TShortCut TextToShortCut(const QString& text) {
    TShortCut result;
    QStringView rest(text);
    auto takeFront = [&rest](QStringView front) {
        if (!rest.startsWith(front, Qt::CaseInsensitive)) return false;
        rest = rest.mid(front.size());
        return true;
    };
    for (;;) {
        if (takeFront(u"Shift+"))
            result.Shift = true;
        else if (takeFront(u"^") || takeFront(u"Ctrl+"))
            result.Ctrl = true;
        else if (takeFront(u"Alt+"))
            result.Alt = true;
        else
            break;
    }
    if (rest.isEmpty()) return TShortCut();
    // The first key whose name matches wins, in key-code order, as in the class library.
    constexpr int firstNamedKey = VKey::BkSp, lastKey = 0xFF;
    for (int key = firstNamedKey; key <= lastKey; ++key) {
        const QString name = KeyName(static_cast<uint8_t>(key));
        if (!name.isEmpty() && rest.compare(name, Qt::CaseInsensitive) == 0) {
            result.Key = static_cast<uint8_t>(key);
            return result;
        }
    }
    return TShortCut();
}

QKeyCombination ToQKeyCombination(TShortCut shortCut) {
    Qt::KeyboardModifiers modifiers;
    if (shortCut.Shift) modifiers |= Qt::ShiftModifier;
    if (shortCut.Ctrl) modifiers |= Qt::ControlModifier;
    if (shortCut.Alt) modifiers |= Qt::AltModifier;
    const uint8_t key = shortCut.Key;
    int qtKey = Qt::Key_unknown;
    if (IsDigit(key) || IsLetter(key)) {
        qtKey = key;
    } else if (IsKeypadDigit(key)) {
        qtKey = Qt::Key_0 + key - VKey::Num0;
        modifiers |= Qt::KeypadModifier;
    } else if (IsFunctionKey(key)) {
        qtKey = Qt::Key_F1 + key - VKey::F1;
    } else if (const TKeyInfo* info = FindNamed(key)) {
        qtKey = info->QtKey;
        if (info->Keypad) modifiers |= Qt::KeypadModifier;
    } else {
        return QKeyCombination(Qt::Key_unknown);
    }
    return QKeyCombination(modifiers, static_cast<Qt::Key>(qtKey));
}

QKeySequence ToQKeySequence(TShortCut shortCut) {
    const QKeyCombination combination = ToQKeyCombination(shortCut);
    if (combination.key() == Qt::Key_unknown) return QKeySequence();
    return QKeySequence(combination);
}

TShortCut ShortCutFromQt(QKeyCombination combination) {
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    TShortCut result;
    result.Key = KeyFromQtKey(combination.key(), modifiers & Qt::KeypadModifier);
    if (result.IsEmpty()) return TShortCut();
    result.Shift = modifiers & Qt::ShiftModifier;
    result.Ctrl = modifiers & Qt::ControlModifier;
    result.Alt = modifiers & Qt::AltModifier;
    return result;
}

TShortCut ShortCutFromQt(const QKeySequence& sequence) {
    if (sequence.isEmpty()) return TShortCut();
    return ShortCutFromQt(sequence[0]);
}

uint8_t KeyFromKeyEvent(const QKeyEvent& event) {
    const bool keypad = event.modifiers() & Qt::KeypadModifier;
    // Qt's key already follows Num Lock on the keypad, and the keypad's keys have no shifted
    // symbols to undo; for every other key the hardware key code is the better witness.
    if (!keypad && event.nativeScanCode() != 0) {
        const uint8_t key = KeyFromX11Keycode(event.nativeScanCode());
        if (key != VKey::NoKey) return key;
    }
    return KeyFromQtKey(event.key(), keypad);
}

TShortCut ShortCutFromKeyEvent(const QKeyEvent& event) {
    TShortCut result;
    result.Key = KeyFromKeyEvent(event);
    if (result.IsEmpty()) return TShortCut();
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    result.Shift = modifiers & Qt::ShiftModifier;
    result.Ctrl = modifiers & Qt::ControlModifier;
    result.Alt = modifiers & Qt::AltModifier;
    return result;
}

uint32_t KeyToKeysym(uint8_t key) {
    if (IsDigit(key)) return key;
    if (IsLetter(key)) return KeysymLowerA + key - VKey::LetterA;
    if (IsKeypadDigit(key)) return KeysymKeypad0 + key - VKey::Num0;
    if (IsFunctionKey(key)) return KeysymF1 + key - VKey::F1;
    if (const TKeyInfo* info = FindNamed(key)) return info->Keysym;
    return 0;
}

uint8_t KeysymToKey(uint32_t keysym) {
    if (keysym == 0) return VKey::NoKey;
    if (keysym >= '0' && keysym <= '9') return static_cast<uint8_t>(keysym);
    if (keysym >= 'A' && keysym <= 'Z') return static_cast<uint8_t>(keysym);
    if (keysym >= KeysymLowerA && keysym < KeysymLowerA + 26)
        return static_cast<uint8_t>(VKey::LetterA + keysym - KeysymLowerA);
    if (keysym >= KeysymKeypad0 && keysym < KeysymKeypad0 + 10)
        return static_cast<uint8_t>(VKey::Num0 + keysym - KeysymKeypad0);
    if (keysym >= KeysymF1 && keysym < KeysymF1 + FunctionKeyCount)
        return static_cast<uint8_t>(VKey::F1 + keysym - KeysymF1);
    if (keysym == KeysymKeypadEnter) return VKey::Enter;
    if (keysym == KeysymLeftTab) return VKey::Tab;
    for (const TKeyInfo& info : NamedKeys)
        if (info.Keysym == keysym) return info.Key;
    return VKey::NoKey;
}
