#pragma once

#include <QWidget>
#include <functional>

// A control that only paints and reports the mouse, as the class library's paint box: its owner
// draws it and answers its presses.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* parent = nullptr) : QWidget(parent) {}

    std::function<void(QPaintEvent*)> OnPaint;
    std::function<void(QMouseEvent*)> OnMouseDown;

protected:
    void paintEvent(QPaintEvent* event) override {
        if (OnPaint) OnPaint(event);
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (OnMouseDown) OnMouseDown(event);
    }
};
