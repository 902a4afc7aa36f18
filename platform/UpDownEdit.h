#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <optional>

class QToolButton;

// An up-down control attached to an edit, as the class library pairs them: the arrows step the
// number in the edit between Min and Max, but the edit's text stays free, so a form can see what the
// user typed ("41", "abc") and say what is wrong with it. A spin box cannot serve here: it refuses
// such text while it is typed.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TUpDown(QWidget* parent = nullptr);

    int Min() const { return MinValue; }
    int Max() const { return MaxValue; }
    void SetMin(int value);
    void SetMax(int value);

    // The position follows the edit: its text, when it is a whole number from Min to Max, is the
    // position; any other text leaves the last position standing.
    int Position() const;
    // Sets the position, kept within Min and Max, and writes it into the edit.
    void SetPosition(int value);

    // The edit the arrows work on; the up-down takes its place at the edit's right end, taking its
    // width from the edit's. The Up and Down keys in the edit step it too.
    void SetAssociate(QLineEdit* edit);
    QLineEdit* Associate() const { return Edit; }

    // As a click on an arrow: +1 up, -1 down, stopping at Min and Max.
    void Step(int delta);

    // The class library's text-to-integer conversion: leading blanks, a sign, decimal digits or a
    // hexadecimal number after "$" or "0x"; nothing may follow. std::nullopt when it does not convert.
    static std::optional<int> TextToInt(const QString& text);

    // Width of the arrows beside the edit.
    static constexpr int ButtonWidth = 16;

signals:
    // After an arrow click or arrow key has changed the position.
    void Changed(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int Clamp(int value) const;
    void WriteEdit();

    int MinValue = 0;
    int MaxValue = 100;
    mutable int PositionValue = 0;
    QPointer<QLineEdit> Edit;
    QToolButton* UpButton;
    QToolButton* DownButton;
};

// Attaches a new up-down, named `name`, to an edit (in the edit's parent), with its range and position.
TUpDown* AttachUpDown(QLineEdit* edit, const QString& name, int min, int max, int position);
