#include "app/status_row.h"

#include <QLabel>
#include <QPainter>
#include <QWidget>
#include <array>

namespace tq50r::app {

class StateShape : public QWidget {
public:
    StateShape(QWidget* parent, const QString& name) : QWidget(parent) {
        setObjectName(name);
        setAccessibleName(name);
        setFill(QColor(Qt::gray));
    }
    void setFill(const QColor& colour) {
        fill_ = colour;
        update();
    }
    QColor fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), fill_);
        painter.setPen(QColor(Qt::black));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

private:
    QColor fill_;
};

namespace {

struct LabelPlace {
    const char* name;
    const char* text;
    int leftPx;
    int topPx;
    int widthPx;
};

// Label row of the status row; "\u2103" is the degree-Celsius sign.
constexpr int StatusLabelHeightPx = 13;
constexpr std::array<LabelPlace, 5> StatusLabels{{
    {"TempLabel", "Temperature:0\u2103", 208, 688, 113},
    {"ProtectedLabel", "Protected State", 328, 688, 89},
    {"TempOverLabel", "Temperature State", 472, 688, 105},
    {"VoltageLabel", "Voltage State", 632, 688, 81},
    {"StandbyLabel", "Standby", 752, 688, 49},
}};

struct ShapePlace {
    const char* name;
    int leftPx;
};

constexpr int StateShapeTopPx = 685;
constexpr int StateShapeSizePx = 20;
constexpr std::array<ShapePlace, 4> StatusShapes{{
    {"ProtectState", 422},
    {"TempState", 581},
    {"VoltageState", 713},
    {"StandbyState", 803},
}};

} // namespace

StatusRow::StatusRow(QWidget* form) : QObject(form) {
    std::array<QLabel*, StatusLabels.size()> labels{};
    for (std::size_t i = 0; i < StatusLabels.size(); ++i) {
        const auto& place = StatusLabels[i];
        auto* label = new QLabel(QString::fromUtf8(place.text), form);
        label->setObjectName(QString::fromLatin1(place.name));
        label->setAccessibleName(label->text());
        label->setGeometry(place.leftPx, place.topPx, place.widthPx, StatusLabelHeightPx);
        label->setProperty("role", QStringLiteral("status"));
        label->hide();
        labels[i] = label;
    }
    tempLabel_ = labels[0];
    protectedLabel_ = labels[1];
    tempOverLabel_ = labels[2];
    voltageLabel_ = labels[3];
    standbyLabel_ = labels[4];

    std::array<StateShape*, StatusShapes.size()> shapes{};
    for (std::size_t i = 0; i < StatusShapes.size(); ++i) {
        auto* shape = new StateShape(form, QString::fromLatin1(StatusShapes[i].name));
        shape->setGeometry(StatusShapes[i].leftPx, StateShapeTopPx, StateShapeSizePx,
                           StateShapeSizePx);
        shape->hide();
        shapes[i] = shape;
    }
    protectState_ = shapes[0];
    tempState_ = shapes[1];
    voltageState_ = shapes[2];
    standbyState_ = shapes[3];
    protectState_->setToolTip(QStringLiteral("Protection"));
    tempState_->setToolTip(QStringLiteral("Over-temperature"));
    voltageState_->setToolTip(QStringLiteral("Voltage"));
    standbyState_->setToolTip(QStringLiteral("Standby"));
}

QWidget* StatusRow::protectState() const {
    return protectState_;
}
QWidget* StatusRow::tempState() const {
    return tempState_;
}
QWidget* StatusRow::voltageState() const {
    return voltageState_;
}
QWidget* StatusRow::standbyState() const {
    return standbyState_;
}

void StatusRow::setRowVisible(bool visible) {
    visible_ = visible;
    // Hiding keeps the texts and colours; they come back unchanged.
    for (QWidget* w : {static_cast<QWidget*>(tempLabel_), static_cast<QWidget*>(protectedLabel_),
                       static_cast<QWidget*>(tempOverLabel_), static_cast<QWidget*>(voltageLabel_),
                       static_cast<QWidget*>(standbyLabel_), static_cast<QWidget*>(protectState_),
                       static_cast<QWidget*>(tempState_), static_cast<QWidget*>(voltageState_),
                       static_cast<QWidget*>(standbyState_)})
        w->setVisible(visible);
}

} // namespace tq50r::app
