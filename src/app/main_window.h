// The main window: owns the window state, the timers, the menus and the
// panels, and hands them to the subsystems (editor, presets, status row).
#pragma once

#include "app/app_options.h"
#include "app/dialog_hooks.h"
#include "app/main_window_state.h"
#include "eq/eq_setting.h"
#include "protocol/frames.h"
#include "transport/transport_channel.h"

#include <QMainWindow>
#include <QString>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTimer;

namespace tq50r::devices {
class Connection;
class DeviceList;
class Discovery;
class ParameterSync;
class ReceivePath;
class SerialScan;
struct LinkMonitor;
namespace ui {
class DeviceBoxView;
class DeviceDialogs;
class DevicePaintBox;
} // namespace ui
} // namespace tq50r::devices

namespace tq50r::platform {
class ClockTimer;
} // namespace tq50r::platform

namespace tq50r::editor {
class EqEditor;
class EqSender;
} // namespace tq50r::editor

namespace tq50r::app {

class PresetFlow;
class StatusRow;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `channels` replaces the channels over the window's own serial port and socket (tests).
    explicit TForm1(const AppOptions& options = {}, QWidget* parent = nullptr,
                    std::unique_ptr<transport::ChannelFactory> channels = nullptr);
    ~TForm1() override;

    MainWindowState& state() { return state_; }
    eq::EqSetting& setting() { return setting_; }
    editor::EqEditor& eqEditor() { return *editor_; }
    DialogHooks& hooks() { return hooks_; }
    const QString& title() const { return title_; }

    // The rooms of the online path.
    devices::DeviceList& deviceList() { return *devices_; }
    devices::LinkMonitor& linkMonitor() { return *link_; }
    devices::ReceivePath& receivePath() { return *receivePath_; }
    devices::Connection& connection() { return *connection_; }
    devices::ParameterSync& parameterSync() { return *sync_; }
    devices::Discovery& discovery() { return *discovery_; }
    devices::SerialScan& serialScan() { return *serialScan_; }
    devices::ui::DeviceBoxView& deviceBoxView() { return *deviceBoxView_; }
    devices::ui::DeviceDialogs& deviceDialogs() { return *deviceDialogs_; }
    StatusRow& statusRow() { return *statusRow_; }

    // The yes/no question over this window ("&Yes" / "&No", caption "TQ50R").
    bool askYesNo(const QString& text);
    void showStatusRow(bool visible);
    bool statusRowVisible() const;

    // Preset flows of the File menu.
    bool savePreset();
    bool openPreset();

    // Handlers, named after their control and event.
    void RefreshBtnClick();
    void ResetImgClick();
    void ExitItemClick();
    void AboutItemClick();
    void Button1Click();
    void connectflagImageMouseMove();

    void InputDecTimerTimer();
    void InputAddTimerTimer();
    void SearchTimerTimer();
    void ReadStateTimerTimer();
    // "More Info": asks the device for its burn-in counters.
    void BurningItemClick();

    // Shows picture 0 (connected) or 1 of the link flag.
    void showLinkFlag(bool connected);

    // Keeps the window's layout but opens it inside a work area smaller than the window: the
    // window shrinks to the work area and the client scrolls. `frameExtra` is what the window
    // frame adds around the window.
    void fitToWorkArea(const QRect& workArea, QSize frameExtra = {});
    // The hint under "No Device": shown while no device was found.
    QLabel* noDeviceHint() const { return noDeviceHint_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildDeviceColumn(QWidget* client);
    void buildTopBar(QWidget* client);
    void buildPanels(QWidget* client);
    // The hidden diagnostic log (skipped serial ports) and its Clear button, right of the visible
    // area; made when the first line is written to it.
    QPlainTextEdit* diagnosticLog();
    void buildMenus();
    void buildTimers();
    // The device rooms (lists, receive path, connection, parameter sync), made before the editor
    // that sends through them, and their wiring to the editor and the window once both exist.
    void buildDeviceRooms(std::unique_ptr<transport::ChannelFactory> channels);
    void wireDeviceRooms();
    QTimer* makeTimer(const char* name, int intervalMs, bool enabled, void (TForm1::*handler)());
    // The device rooms: lists, discovery, serial scan and the tiles, wired to the window.
    void wireDiscoveryRooms(const AppOptions& options);
    void startDiscoveryRooms();
    // The status row, the burn-in report, the device dialogs of the tile menu and the report of
    // a setting that could not be sent.
    void wireStatusAndDeviceDialogs();
    void FormCreate();
    void FormShow();
    void FormClose();
    void centreOnScreen();
    // The editor's keyboard, undo and window-size parts: the Edit menu, the reset button's keys,
    // the Tab order of the window, the client that scrolls on small screens, the no-device hint.
    void buildEditMenu();
    void buildKeyboardOrder();
    void buildNoDeviceHint();
    void showNoDeviceHint(bool visible);
    bool ResetImgKeyDown(QEvent* event);

    QString title_;
    MainWindowState state_;
    eq::EqSetting setting_;
    DialogHooks hooks_;
    std::unique_ptr<devices::LinkMonitor> link_;
    devices::DeviceList* devices_ = nullptr;
    devices::ReceivePath* receivePath_ = nullptr;
    devices::Connection* connection_ = nullptr;
    devices::ParameterSync* sync_ = nullptr;
    devices::Discovery* discovery_ = nullptr;
    devices::SerialScan* serialScan_ = nullptr;
    devices::ui::DeviceBoxView* deviceBoxView_ = nullptr;
    devices::ui::DeviceDialogs* deviceDialogs_ = nullptr;
    std::unique_ptr<editor::EqSender> sender_;
    std::unique_ptr<editor::EqEditor> editor_;
    std::unique_ptr<PresetFlow> presets_;
    StatusRow* statusRow_ = nullptr;
    bool shownOnce_ = false;
    bool discoveryStarted_ = false;

    QPushButton* RefreshBtn = nullptr;
    QScrollArea* DeviceBox = nullptr;
    QLabel* TimeLabel = nullptr;
    QWidget* DeviceListWidget = nullptr; // what DeviceBox scrolls
    devices::ui::DevicePaintBox* DevicePaintBox = nullptr;
    QLabel* deviceCountLabel = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* connectflagImage = nullptr;
    QLabel* ResetImg = nullptr;
    QWidget* ConnectShape = nullptr;
    QFrame* Panel2 = nullptr;
    QFrame* Panel3 = nullptr;
    QFrame* Panel4 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button1 = nullptr;
    QScrollArea* clientScroll_ = nullptr;
    QLabel* noDeviceHint_ = nullptr;
    QAction* UndoItem = nullptr;
    QAction* RedoItem = nullptr;

    QMenu* ViewItem = nullptr;
    QAction* FactoryIPItem = nullptr;
    QMenu* DeviceMenu = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* RenameItem = nullptr;
    QAction* RemoveDeviceItem = nullptr;
    QAction* BurningItem = nullptr;

    platform::ClockTimer* InputDecTimer = nullptr;
    platform::ClockTimer* InputAddTimer = nullptr;
    QTimer* SearchTimer = nullptr;
    QTimer* ReadStateTimer = nullptr;
};

} // namespace tq50r::app
