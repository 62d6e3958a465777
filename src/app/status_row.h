// The device status row at the bottom of the main window: the temperature
// text and four indicator squares. Hidden until a device reports its state.
// It also shows the device's burn-in report, which reaches it as a posted
// application event. Its controls are made when the row is first shown or
// given a state (or one of them is asked for): most sessions never show it,
// and fitting its font measured texts in several sizes at start-up.
#pragma once

#include "protocol/frames.h"

#include <QObject>
#include <QString>
#include <functional>

class QLabel;
class QWidget;

namespace tq50r::app {

// A filled square indicator; its fill colour is the indicator's state.
class StateShape;

class StatusRow : public QObject {
    Q_OBJECT
public:
    // The nine controls will be hidden children of form.
    explicit StatusRow(QWidget* form);

    void setRowVisible(bool visible);
    bool rowVisible() const { return visible_; }

    // Every status reply, whether the row is shown or not: the temperature text and the four
    // indicator colours.
    void showStatus(const protocol::DeviceState& state);

    // Shows the burn-in report text in a modal box with one OK button.
    void setReportBox(std::function<void(const QString&)> show) { reportBox_ = std::move(show); }
    // The application-wide event hook: acts on the burn-in report event only.
    void MyOnMessage(QEvent* event);

    // The controls, made if they are not yet.
    QLabel* tempLabel();
    QWidget* protectState();
    QWidget* tempState();
    QWidget* voltageState();
    QWidget* standbyState();

protected:
    // Installed on the application; lets every event through.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();

    QWidget* form_;
    std::function<void(const QString&)> reportBox_;
    QLabel* tempLabel_ = nullptr;
    QLabel* protectedLabel_ = nullptr;
    QLabel* tempOverLabel_ = nullptr;
    QLabel* voltageLabel_ = nullptr;
    QLabel* standbyLabel_ = nullptr;
    StateShape* protectState_ = nullptr;
    StateShape* tempState_ = nullptr;
    StateShape* voltageState_ = nullptr;
    StateShape* standbyState_ = nullptr;
    bool visible_ = false;
};

} // namespace tq50r::app
