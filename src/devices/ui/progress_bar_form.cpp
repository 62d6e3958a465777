#include "devices/ui/progress_bar_form.h"

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace tq50r::devices::ui {

namespace {

constexpr QRect ProgressBar1Rect{17, 17, 193, 17};
constexpr QRect CancelBtnRect{233, 16, 56, 18};
// The panel around the two controls.
constexpr int MarginPx = 16;

} // namespace

TProgressBarForm::TProgressBarForm(QWidget* owner)
    // A title bar with the caption and no buttons at all.
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("ProgressBarForm"));
    setWindowTitle(QStringLiteral("Connecting"));
    setModal(false);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(ProgressBar1Rect);
    ProgressBar1->setRange(BarMin, BarMax);
    ProgressBar1->setValue(BarMin);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setAccessibleName(QStringLiteral("Connecting"));

    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(CancelBtnRect);

    setFixedSize(CancelBtnRect.right() + 1 + MarginPx, ProgressBar1Rect.bottom() + 1 + MarginPx);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(Timer1Ms);
    connect(Timer1, &QTimer::timeout, this, &TProgressBarForm::Timer1Timer);
    Timer1->start();
}

TProgressBarForm::~TProgressBarForm() {
    Timer1->stop();
}

void TProgressBarForm::show() {
    QDialog::show();
}

void TProgressBarForm::close() {
    QDialog::close();
}

void TProgressBarForm::stopTimer() {
    Timer1->stop();
}

void TProgressBarForm::Timer1Timer() {
    int position = ProgressBar1->value() + SweepStep;
    if (position == ProgressBar1->maximum())
        position = ProgressBar1->minimum();
    ProgressBar1->setValue(position);
}

ConnectingDialogFactory TProgressBarForm::factory(QWidget* owner) {
    return [owner](std::function<void()> onCancel) -> std::unique_ptr<ConnectingDialog> {
        auto dialog = std::make_unique<TProgressBarForm>(owner);
        connect(dialog->CancelBtn, &QPushButton::clicked, dialog.get(),
                [cancel = std::move(onCancel)] { cancel(); });
        return dialog;
    };
}

} // namespace tq50r::devices::ui
