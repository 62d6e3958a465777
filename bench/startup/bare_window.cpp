// The yardstick of the start-up benchmark: a bare window of the application's size that shows a
// label and a button (so fonts and the style load as in any real window), quits after its first
// paint.
#include "platform/network_scope.h"
#include "widgets/first_paint.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace {
constexpr int WindowWidthPx = 1070;
constexpr int WindowHeightPx = 768;
} // namespace

int main(int argc, char** argv) {
    tq50r::platform::restrictToLoopback();
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(WindowWidthPx, WindowHeightPx);
    auto* label = new QLabel(QStringLiteral("Master EQ"), &window);
    label->move(16, 16);
    auto* button = new QPushButton(QStringLiteral("UPDATE"), &window);
    button->move(16, 48);
    new tq50r::widgets::QuitAfterFirstPaint(&window);
    window.show();
    return QApplication::exec();
}
