// The "Connecting" dialog: a bar that sweeps while a connect attempt runs, and a Cancel button.
// It knows nothing of the connection; the connection creates it, binds Cancel and destroys it.
#pragma once

#include "devices/connecting_dialog.h"

#include <QDialog>
#include <functional>
#include <memory>

class QProgressBar;
class QPushButton;
class QTimer;

namespace tq50r::devices::ui {

class TProgressBarForm : public QDialog, public ConnectingDialog {
    Q_OBJECT
public:
    static constexpr int Timer1Ms = 50;
    static constexpr int SweepStep = 10;
    static constexpr int BarMin = 0;
    static constexpr int BarMax = 100;

    explicit TProgressBarForm(QWidget* owner = nullptr);
    // Stops Timer1 before anything else goes.
    ~TProgressBarForm() override;

    // ConnectingDialog: shown modeless; closing hides it.
    void show() override;
    void close() override;
    void stopTimer() override;

    QProgressBar* progressBar() const { return ProgressBar1; }
    QPushButton* cancelButton() const { return CancelBtn; }
    QTimer* timer() const { return Timer1; }
    void Timer1Timer();

    // A factory for the connection: dialogs owned by `owner`'s window, Cancel bound to the
    // callback the connection hands over.
    static ConnectingDialogFactory factory(QWidget* owner);

private:
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* CancelBtn = nullptr;
    QTimer* Timer1 = nullptr;
};

} // namespace tq50r::devices::ui
