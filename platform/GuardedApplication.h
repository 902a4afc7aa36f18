#pragma once

#include <QApplication>

// The application object of both programs. An exception that a command lets out is reported here, as
// the class library's application-level handler does, instead of unwinding through Qt's event loop.
// Commands should still catch their own errors (RunGuarded): Qt's frames below this one are not
// built to be unwound through, so this is the last line, not the first.
class TGuardedApplication : public QApplication {
    Q_OBJECT
public:
    TGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};
