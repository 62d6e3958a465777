#include "app/application.h"

#include <QMessageBox>
#include <exception>

namespace tq50r::app {

namespace {
const QString UnknownExceptionText = QStringLiteral("Unknown exception");
} // namespace

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv), reporter_(&Application::showErrorBox) {}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reporter_(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        reporter_(UnknownExceptionText);
    }
    return false;
}

void Application::showErrorBox(const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationName(), text);
}

} // namespace tq50r::app
