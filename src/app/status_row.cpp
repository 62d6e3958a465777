#include "app/status_row.h"

#include "devices/receive_path.h"
#include "plot/qimage_canvas.h"
#include "protocol/status_text.h"

#include <QLabel>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <array>
#include <limits>

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

// The labels keep their places and widths; their font gets smaller, down to this, until every
// text fits.
constexpr int MinStatusFontPx = 8;

// The widest text a label shows: the temperature label's is its coldest one.
QString widestText(const QLabel* label, const QLabel* tempLabel) {
    return label == tempLabel ? QString::fromStdString(protocol::temperatureText(
                                    std::numeric_limits<std::uint16_t>::max()))
                              : label->text();
}

constexpr int StateShapeTopPx = 685;
constexpr int StateShapeSizePx = 20;
constexpr std::array<ShapePlace, 4> StatusShapes{{
    {"ProtectState", 422},
    {"TempState", 581},
    {"VoltageState", 713},
    {"StandbyState", 803},
}};

} // namespace

StatusRow::StatusRow(QWidget* form) : QObject(form), form_(form) {}

void StatusRow::build() {
    if (tempLabel_ != nullptr)
        return;
    QWidget* form = form_;
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
    QFont font = tempLabel_->font();
    for (int px = QFontInfo(font).pixelSize(); px >= MinStatusFontPx; --px) {
        font.setPixelSize(px);
        const QFontMetrics metrics(font);
        if (std::ranges::all_of(labels, [&](const QLabel* l) {
                return metrics.horizontalAdvance(widestText(l, tempLabel_)) <= l->width();
            }))
            break;
    }
    for (QLabel* label : labels)
        label->setFont(font);
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

QLabel* StatusRow::tempLabel() {
    build();
    return tempLabel_;
}
QWidget* StatusRow::protectState() {
    build();
    return protectState_;
}
QWidget* StatusRow::tempState() {
    build();
    return tempState_;
}
QWidget* StatusRow::voltageState() {
    build();
    return voltageState_;
}
QWidget* StatusRow::standbyState() {
    build();
    return standbyState_;
}

void StatusRow::setRowVisible(bool visible) {
    visible_ = visible;
    if (!visible && tempLabel_ == nullptr)
        return; // nothing to hide yet
    build();
    // Hiding keeps the texts and colours; they come back unchanged.
    for (QWidget* w : {static_cast<QWidget*>(tempLabel_), static_cast<QWidget*>(protectedLabel_),
                       static_cast<QWidget*>(tempOverLabel_), static_cast<QWidget*>(voltageLabel_),
                       static_cast<QWidget*>(standbyLabel_), static_cast<QWidget*>(protectState_),
                       static_cast<QWidget*>(tempState_), static_cast<QWidget*>(voltageState_),
                       static_cast<QWidget*>(standbyState_)})
        w->setVisible(visible);
}

void StatusRow::showStatus(const protocol::DeviceState& state) {
    build();
    tempLabel_->setText(
        QString::fromStdString(protocol::temperatureText(state.temperatureReading)));
    const std::pair<StateShape*, std::uint8_t> indicators[] = {
        {protectState_, state.protection},
        {tempState_, state.overTemperature},
        {voltageState_, state.voltage},
        {standbyState_, state.standby},
    };
    for (const auto& [shape, flag] : indicators)
        shape->setFill(plot::toQColor(protocol::flagColour(flag)));
}

void StatusRow::MyOnMessage(QEvent* event) {
    if (event->type() != devices::BurningMessageEvent::eventType())
        return;
    const auto* report = static_cast<const devices::BurningMessageEvent*>(event);
    const std::string text =
        protocol::burningReportText(static_cast<unsigned>(report->count()), report->totalMinutes());
    if (reportBox_)
        reportBox_(QString::fromStdString(text));
}

bool StatusRow::eventFilter(QObject* watched, QEvent* event) {
    MyOnMessage(event);
    return QObject::eventFilter(watched, event);
}

} // namespace tq50r::app
