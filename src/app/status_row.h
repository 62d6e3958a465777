// The device status row at the bottom of the main window: the temperature
// text and four indicator squares. Hidden until a device reports its state.
#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QWidget;

namespace tq50r::app {

// A filled square indicator; its fill colour is the indicator's state.
class StateShape;

class StatusRow : public QObject {
    Q_OBJECT
public:
    // Creates the nine controls as hidden children of form.
    explicit StatusRow(QWidget* form);

    void setRowVisible(bool visible);
    bool rowVisible() const { return visible_; }

    QLabel* tempLabel() const { return tempLabel_; }
    QWidget* protectState() const;
    QWidget* tempState() const;
    QWidget* voltageState() const;
    QWidget* standbyState() const;

private:
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
