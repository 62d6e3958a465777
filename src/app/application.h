// The application object with the program's one exception boundary: an exception that escapes an
// event handler (a click, a timer, a socket or serial port event, a receive handler) is shown in
// the standard error box and the program goes on with its next event.
#pragma once

#include <QApplication>
#include <QString>
#include <functional>

namespace tq50r::app {

class Application : public QApplication {
    Q_OBJECT
public:
    using ErrorReporter = std::function<void(const QString& text)>;

    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Where an escaped exception is shown; the standard error box unless replaced (tests).
    void setErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }
    // The standard error box over the active window.
    static void showErrorBox(const QString& text);

private:
    ErrorReporter reporter_;
};

} // namespace tq50r::app
