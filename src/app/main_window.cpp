#include "app/main_window.h"

#include "app/about_box.h"
#include "app/app_info.h"
#include "app/device_sender.h"
#include "app/preset_flow.h"
#include "app/status_row.h"
#include "devices/connection.h"
#include "devices/device_list.h"
#include "devices/discovery.h"
#include "devices/link_monitor.h"
#include "devices/parameter_sync.h"
#include "devices/receive_path.h"
#include "devices/serial_scan.h"
#include "devices/ui/device_box_view.h"
#include "devices/ui/device_dialogs.h"
#include "devices/ui/device_panel.h"
#include "devices/ui/progress_bar_form.h"
#include "editor/eq_editor.h"
#include "editor/eq_sender.h"
#include "editor/image_button.h"
#include "editor/skin.h"
#include "platform/host_addresses.h"
#include "plot/fft_draw_widget.h"
#include "transport/transport_channel.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace tq50r::app {

namespace {

namespace theme = editor::theme;

// Window layout: left, top, width, height within the client area.
constexpr QRect RefreshBtnRect{8, 8, 75, 25};
constexpr QRect DeviceBoxRect{8, 45, 185, 625};
constexpr QPoint TimeLabelPos{80, 8};
constexpr QSize TimeLabelSize{90, 16};
constexpr QSize DevicePaintBoxSize{160, 89};
constexpr QRect CountCaptionRect{8, 688, 45, 13};
constexpr QRect CountLabelRect{56, 688, 60, 13};
constexpr QRect Panel1Rect{200, 8, 849, 33};
constexpr QRect ConnectFlagRect{160, 16, 33, 17};
constexpr QSize ResetImgSize{41, 17};
constexpr int ResetImgRightMarginPx = 16;
constexpr QRect ConnectShapeRect{200, 9, 15, 15};
constexpr QRect BarTitleRect{12, 0, 140, 33};
constexpr QRect Panel2Rect{200, 45, 849, 241};
constexpr QRect Panel3Rect{200, 290, 849, 380};
constexpr QSize Panel4Size{505, 353};
// The diagnostic log sits right of the visible area.
constexpr QRect Memo1Rect{1080, 8, 185, 89};
constexpr QRect Button1Rect{1080, 104, 75, 25};

const QString NoDeviceText = QStringLiteral("No Device");
const QString NoDeviceHintText =
    QStringLiteral("Connect a device by USB or LAN, then press UPDATE.");
constexpr QRect NoDeviceHintRect{8, 30, 167, 60};

// The round link lamp in the top bar.
class Lamp : public QWidget {
public:
    using QWidget::QWidget;
    void setColour(const QColor& c) {
        colour_ = c;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QColor(Qt::black));
        p.setBrush(colour_);
        p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }

private:
    QColor colour_{Qt::gray};
};

QString hex(QRgb rgb) {
    return QColor::fromRgba(rgb).name();
}

// The parts of the window a style sheet draws carry their own rules: the UPDATE button, the device
// box, the bar title and the panels' frames; the menus get theirs from OwnedWindowsLook. A sheet on
// the window would put every control of the editor under the style sheet machinery too, which cost
// the start-up more than any control drew, and gave them nothing. The captions of the device column
// and the status row are drawn in the palette's text colour.
QString refreshButtonSheet() {
    return QStringLiteral(
               "QPushButton#RefreshBtn { color: %1; background: qlineargradient(x1:0, y1:0, "
               "x2:0, y2:1, stop:0 #3e3e3e, stop:1 %2); border: 1px solid %3; border-radius: 3px;"
               " font-weight: bold; letter-spacing: 1px; }"
               "QPushButton#RefreshBtn:hover { border-color: %4; }"
               "QPushButton#RefreshBtn:pressed { background: %5; }"
               "QPushButton#RefreshBtn:disabled { color: #c0c0c0; }")
        .arg(hex(theme::TextRgb), hex(theme::ButtonRgb), hex(theme::ButtonEdgeRgb),
             hex(theme::AccentRgb), hex(theme::ButtonPressedRgb));
}

QString deviceBoxSheet() {
    return QStringLiteral("QScrollArea#DeviceBox { background: %1; border: 1px solid %2; }"
                          "QWidget#DeviceList { background: %1; }"
                          "QLabel#TimeLabel { color: %3; }")
        .arg(hex(theme::WindowRgb), hex(theme::PanelEdgeRgb), hex(theme::TextRgb));
}

// The grey panels under the plot and the editor are drawn by frames of their own beneath them
// (buildPanels), which hold no controls.
QString panelFrameSheet() {
    return QStringLiteral("QFrame { background: %1; border: 1px solid %2; }")
        .arg(hex(theme::PanelRgb), hex(theme::PanelEdgeRgb));
}

QString barTitleSheet() {
    return QStringLiteral("QLabel#BarTitle { color: %1; font-weight: bold; }")
        .arg(hex(theme::TextRgb));
}

QString menuBarSheet() {
    return QStringLiteral("QMenuBar { background: %1; color: %2; }"
                          "QMenuBar::item { padding: 3px 10px; background: transparent; }"
                          "QMenuBar::item:selected, QMenuBar::item:pressed { background: %3; "
                          "color: %4; }")
        .arg(hex(theme::WindowRgb), hex(theme::TextRgb), hex(theme::PanelRgb),
             hex(theme::CaptionRgb));
}

// The windows the main window owns - its menus, the context menus of its controls, its dialogs and
// message boxes (with theirs) - take the dark menu rules as their style sheet when they are first
// polished, before their children are: menus then look like the window's own, and dialogs keep
// being drawn under a style sheet, as they were while the whole window carried one.
class OwnedWindowsLook : public QObject {
public:
    explicit OwnedWindowsLook(QWidget* window) : QObject(window), window_(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (!widget->isWindow() || !widget->styleSheet().isEmpty() || !ownedByWindow(widget))
                return false;
            if (auto* menu = qobject_cast<QMenu*>(widget)) {
                // A menu is polished with the window, long before it may be shown: it takes the
                // rules just before its first showing sizes it.
                connect(
                    menu, &QMenu::aboutToShow, menu,
                    [menu] {
                        if (menu->styleSheet().isEmpty())
                            menu->setStyleSheet(theme::menuStyleSheet());
                    },
                    Qt::SingleShotConnection);
            } else if (qobject_cast<QDialog*>(widget) != nullptr) {
                widget->setStyleSheet(theme::menuStyleSheet());
            }
        }
        return false;
    }

private:
    bool ownedByWindow(const QWidget* widget) const {
        for (const QWidget* w = widget->parentWidget(); w != nullptr; w = w->parentWidget()) {
            if (w == window_)
                return true;
        }
        return false;
    }

    QWidget* window_;
};

QLabel* makeLabel(const QString& name, const QString& text, const QRect& rect, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(rect);
    return label;
}

} // namespace

TForm1::TForm1(const AppOptions& options, QWidget* parent,
               std::unique_ptr<transport::ChannelFactory> channels)
    : QMainWindow(parent), title_(ApplicationTitle), setting_(eq::startSetting()) {
    setObjectName(QStringLiteral("Form1"));
    hooks_.showAbout = [this](QWidget*) {
        TfmAbout about(title_, nullptr);
        about.exec();
    };
    hooks_.endProcess = [] {
        std::fflush(nullptr);
        std::_Exit(EXIT_SUCCESS);
    };

    setWindowTitle(title_);
    setFixedSize(WindowWidthPx, WindowHeightPx);
    setPalette(theme::darkPalette());
    setAutoFillBackground(true);
    new OwnedWindowsLook(this);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Client"));
    client->setAutoFillBackground(true);
    QPalette black = client->palette();
    black.setColor(QPalette::Window, theme::color(theme::WindowRgb));
    client->setPalette(black);
    // The client keeps its layout; on a screen too small for the window it scrolls.
    clientScroll_ = new QScrollArea(this);
    clientScroll_->setObjectName(QStringLiteral("ClientScroll"));
    clientScroll_->setFrameShape(QFrame::NoFrame);
    clientScroll_->setPalette(black);
    clientScroll_->setWidget(client);
    setCentralWidget(clientScroll_);

    buildDeviceColumn(client);
    buildTopBar(client);
    buildPanels(client);
    statusRow_ = new StatusRow(client);
    buildMenus();
    buildTimers();
    buildDeviceRooms(std::move(channels));
    wireDiscoveryRooms(options);
    // Only now, after the tile view has sized the list for the box as it stands before its first
    // layout: a sheet makes the box lay out its viewport at once, and the list would start as tall
    // as the box, which on a screen scaled by a fraction covers half a pixel row of its border.
    DeviceBox->setStyleSheet(deviceBoxSheet());
    editor_ = std::make_unique<editor::EqEditor>(Panel2, Panel4, setting_, *sender_, this);
    Panel2->setAutoFillBackground(false); // its frame beneath draws it
    InputDecTimer = editor_->inputDecTimer();
    InputAddTimer = editor_->inputAddTimer();

    PresetFlow::Actions actions;
    actions.sendIfChannelOpen = [this](const protocol::ParameterBlock& block) {
        const bool sent = sync_->sendSettingIfChannelOpen(block);
        if (sent)
            editor_->noteSettingSent(block); // one undo step, like an opened file offline
        return sent;
    };
    actions.connected = [this] { return connection_->connected(); };
    actions.applyOffline = [this](const protocol::ParameterBlock& block) {
        editor_->applyOpenedSetting(block);
    };
    actions.setFaderSyncState = [this](int value) { editor_->setFaderSyncState(value); };
    presets_ = std::make_unique<PresetFlow>(this, title_, setting_, hooks_, std::move(actions));
    wireDeviceRooms();
    buildEditMenu();
    buildKeyboardOrder();
    buildNoDeviceHint();
    // The client is what the fixed window shows below its menu bar.
    clientScroll_->widget()->setFixedSize(WindowWidthPx,
                                          WindowHeightPx - menuBar()->sizeHint().height());
    wireStatusAndDeviceDialogs();

    showStatusRow(false);
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::buildDeviceRooms(std::unique_ptr<transport::ChannelFactory> channels) {
    link_ = std::make_unique<devices::LinkMonitor>();
    devices_ = new devices::DeviceList(this);
    receivePath_ = new devices::ReceivePath(*devices_, setting_, *link_, this);
    connection_ = new devices::Connection(
        *devices_, *link_, *receivePath_,
        [this](std::function<void()> onCancel) {
            return hooks_.connectingDialog
                       ? hooks_.connectingDialog(std::move(onCancel))
                       : devices::ui::TProgressBarForm::factory(this)(std::move(onCancel));
        },
        std::move(channels), this);
    sync_ = new devices::ParameterSync(*connection_, setting_, *link_, *devices_, this);
    sender_ = std::make_unique<DeviceSender>(*sync_);
}

void TForm1::wireDeviceRooms() {
    using devices::Connection;
    using devices::ReceivePath;
    editor::EqEditor* eq = editor_.get();
    connect(connection_, &Connection::connectedChanged, this, &TForm1::showLinkFlag);
    connect(connection_, &Connection::established, this,
            [this] { static_cast<Lamp*>(ConnectShape)->setColour(QColor(0, 255, 0)); });
    connect(connection_, &Connection::refreshButtonEnabled, RefreshBtn, &QWidget::setEnabled);
    connect(connection_, &Connection::statusRowRequested, this, &TForm1::showStatusRow);
    connect(connection_, &Connection::faderSyncStateRequested, eq,
            &editor::EqEditor::setFaderSyncState);
    connect(connection_, &Connection::messageRequested, this,
            [this](const QString& text) { hooks_.showMessage(this, text); });

    connect(receivePath_, &ReceivePath::trimReported, eq, &editor::EqEditor::showTrim);
    connect(receivePath_, &ReceivePath::bandReported, eq, &editor::EqEditor::updateBand);
    connect(receivePath_, &ReceivePath::bypassReported, eq, &editor::EqEditor::showBypass);
    connect(receivePath_, &ReceivePath::settingReported, eq,
            [eq](const protocol::ParameterBlock& block) {
                eq->setFaderSyncState(0);
                eq->applySetting(block);
            });
    // Frames that come while the editor settles wait, and follow in order afterwards.
    connect(eq, &editor::EqEditor::settleStarted, receivePath_, &ReceivePath::hold);
    connect(eq, &editor::EqEditor::settleEnded, receivePath_, &ReceivePath::release);
}

void TForm1::buildDeviceColumn(QWidget* client) {
    RefreshBtn = new QPushButton(client);
    RefreshBtn->setObjectName(QStringLiteral("RefreshBtn"));
    RefreshBtn->setGeometry(RefreshBtnRect);
    RefreshBtn->setToolTip(QStringLiteral("Clear the device list and search again"));
    RefreshBtn->setAccessibleName(QStringLiteral("Update device list"));
    RefreshBtn->setCursor(Qt::PointingHandCursor);
    RefreshBtn->setStyleSheet(refreshButtonSheet());
    connect(RefreshBtn, &QPushButton::clicked, this, &TForm1::RefreshBtnClick);

    DeviceBox = new QScrollArea(client);
    DeviceBox->setObjectName(QStringLiteral("DeviceBox"));
    DeviceBox->setGeometry(DeviceBoxRect);
    DeviceBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DeviceBox->setAccessibleName(QStringLiteral("Devices"));
    auto* list = new QWidget;
    list->setObjectName(QStringLiteral("DeviceList"));
    list->setFixedWidth(DeviceBoxRect.width() - 2);
    list->setMinimumHeight(DeviceBoxRect.height() - 2);
    DeviceBox->setWidget(list);

    TimeLabel = makeLabel(QStringLiteral("TimeLabel"), QString::number(SearchCountdownStart),
                          QRect(TimeLabelPos, TimeLabelSize), list);
    TimeLabel->setToolTip(QStringLiteral("Seconds left in the device search"));
    TimeLabel->setAccessibleName(QStringLiteral("Search countdown"));

    DeviceListWidget = list;
    DevicePaintBox = new devices::ui::DevicePaintBox(list);
    DevicePaintBox->resize(DevicePaintBoxSize);
    DevicePaintBox->hide();

    auto* countCaption =
        makeLabel(QStringLiteral("Label6"), QStringLiteral("Count:"), CountCaptionRect, client);
    countCaption->setAccessibleName(QStringLiteral("Device count caption"));
    deviceCountLabel =
        makeLabel(QStringLiteral("deviceCountLabel"), QStringLiteral("0"), CountLabelRect, client);
    deviceCountLabel->setAccessibleName(QStringLiteral("Device count"));
    deviceCountLabel->setToolTip(QStringLiteral("Number of devices in the list"));
}

void TForm1::buildTopBar(QWidget* client) {
    Panel1 = new QFrame(client);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(Panel1Rect);
    auto* background = new QLabel(Panel1);
    background->setObjectName(QStringLiteral("Panel1Background"));
    background->setGeometry(Panel1->rect());
    background->setPixmap(editor::topBarBackground(Panel1Rect.size()));

    auto* barTitle =
        makeLabel(QStringLiteral("BarTitle"), QStringLiteral("Master EQ"), BarTitleRect, Panel1);
    barTitle->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    barTitle->setStyleSheet(barTitleSheet());

    connectflagImage = new QLabel(Panel1);
    connectflagImage->setObjectName(QStringLiteral("connectflagImage"));
    connectflagImage->setGeometry(ConnectFlagRect);
    connectflagImage->setAccessibleName(QStringLiteral("Device link"));
    connectflagImage->setToolTip(QStringLiteral("Device link"));
    connectflagImage->setMouseTracking(true);
    connectflagImage->installEventFilter(this);
    showLinkFlag(false);

    ResetImg = new QLabel(Panel1);
    ResetImg->setObjectName(QStringLiteral("ResetImg"));
    const int resetTopPx = (Panel1Rect.height() - ResetImgSize.height()) / 2;
    ResetImg->setGeometry(Panel1Rect.width() - ResetImgSize.width() - ResetImgRightMarginPx,
                          resetTopPx, ResetImgSize.width(), ResetImgSize.height());
    ResetImg->setPixmap(
        editor::skinPicture(editor::ImageList::RstImageList, editor::ResetReleased));
    ResetImg->setToolTip(QStringLiteral("Reset the EQ to its flat setting"));
    ResetImg->setAccessibleName(QStringLiteral("Reset EQ"));
    ResetImg->setCursor(Qt::PointingHandCursor);
    ResetImg->installEventFilter(this);

    auto* lamp = new Lamp(Panel1);
    lamp->setObjectName(QStringLiteral("ConnectShape"));
    lamp->setGeometry(ConnectShapeRect);
    lamp->setAccessibleName(QStringLiteral("Link lamp"));
    lamp->hide();
    ConnectShape = lamp;
}

void TForm1::buildPanels(QWidget* client) {
    // The panels' fill and border come from frames beneath them with the style sheet (the panels
    // hold the plot and the editor, whose controls would all come under it with a sheet of their
    // own); the panels themselves are clear.
    for (const auto& [name, rect] :
         {std::pair{"Panel2Frame", Panel2Rect}, std::pair{"Panel3Frame", Panel3Rect}}) {
        auto* frame = new QFrame(client);
        frame->setObjectName(QString::fromLatin1(name));
        frame->setGeometry(rect);
        frame->setStyleSheet(panelFrameSheet());
    }
    Panel2 = new QFrame(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(Panel2Rect);
    Panel2->setAccessibleName(QStringLiteral("Response plot"));

    Panel3 = new QFrame(client);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(Panel3Rect);

    Panel4 = new QFrame(Panel3);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setGeometry((Panel3Rect.width() - Panel4Size.width()) / 2,
                        (Panel3Rect.height() - Panel4Size.height()) / 2, Panel4Size.width(),
                        Panel4Size.height());
    Panel4->setAccessibleName(QStringLiteral("EQ editor"));
}

QPlainTextEdit* TForm1::diagnosticLog() {
    if (Memo1 != nullptr)
        return Memo1;
    QWidget* client = clientScroll_->widget();
    Memo1 = new QPlainTextEdit(client);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(Memo1Rect);
    Memo1->setReadOnly(true);
    Memo1->hide();
    Button1 = new QPushButton(QStringLiteral("Clear"), client);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(Button1Rect);
    Button1->hide();
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    return Memo1;
}

void TForm1::buildMenus() {
    auto addItem = [this](QMenu* menu, const char* name, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };

    // Before its first item, so that its size already counts the items' padding.
    menuBar()->setStyleSheet(menuBarSheet());
    QMenu* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("FileItem"));
    QAction* open = addItem(fileMenu, "OpenItem", QStringLiteral("&Open"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, [this] { openPreset(); });
    QAction* saveAs = addItem(fileMenu, "SaveAsItem", QStringLiteral("&Save As"));
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(saveAs, &QAction::triggered, this, [this] { savePreset(); });
    fileMenu->addSeparator();
    QAction* exitItem = addItem(fileMenu, "ExitItem", QStringLiteral("&Exit"));
    exitItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exitItem, &QAction::triggered, this, &TForm1::ExitItemClick);

    // The factory entries are unreachable: their menu stays hidden.
    ViewItem = menuBar()->addMenu(QStringLiteral("View"));
    ViewItem->setObjectName(QStringLiteral("ViewItem"));
    ViewItem->menuAction()->setVisible(false);
    QAction* factoryUsb = addItem(ViewItem, "FactoryUSBItem", QStringLiteral("Factory(USB)"));
    factoryUsb->setVisible(false);
    FactoryIPItem = addItem(ViewItem, "FactoryIPItem", QStringLiteral("Factory(IP)"));
    FactoryIPItem->setVisible(false);

    QMenu* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    helpMenu->setObjectName(QStringLiteral("HelpItem"));
    QAction* about = addItem(helpMenu, "AboutItem", QStringLiteral("&About"));
    connect(about, &QAction::triggered, this, &TForm1::AboutItemClick);

    // The tile menu; the device list shows it on a right click.
    DeviceMenu = new QMenu(this);
    DeviceMenu->setObjectName(QStringLiteral("DeviceMenu"));
    addItem(DeviceMenu, "NewDeviceItem", QStringLiteral("New Device"))->setVisible(false);
    RenameItem = addItem(DeviceMenu, "RenameItem", QString());
    addItem(DeviceMenu, "MACItem", QStringLiteral("Modify MAC Address"))->setVisible(false);
    RemoveDeviceItem = addItem(DeviceMenu, "RemoveDeviceItem", QString());
    BurningItem = addItem(DeviceMenu, "BurningItem", QStringLiteral("More Info"));
    BurningItem->setVisible(false);

    // Attached to no control.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addItem(PopupMenu1, "NewDeviceItem1", QStringLiteral("New Device"));
}

QTimer* TForm1::makeTimer(const char* name, int intervalMs, bool enabled,
                          void (TForm1::*handler)()) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(name));
    timer->setInterval(intervalMs);
    connect(timer, &QTimer::timeout, this, handler);
    if (enabled)
        timer->start();
    return timer;
}

void TForm1::buildTimers() {
    struct TimerSetup {
        const char* name;
        int intervalMs;
        bool enabledAtStart;
        QTimer* TForm1::*member;
        void (TForm1::*handler)();
    };
    static constexpr std::array<TimerSetup, 2> Timers{{
        {"SearchTimer", 1000, true, &TForm1::SearchTimer, &TForm1::SearchTimerTimer},
        {"ReadStateTimer", 3000, false, &TForm1::ReadStateTimer, &TForm1::ReadStateTimerTimer},
    }};
    // The trim repeat timers (150 ms) belong to the editor, which drives them from its buttons;
    // the tile and ageing timers to the device list; the probe port's close timer to the serial
    // scan; the connect, check and reconnect timers to the connection; recall and idle poll to
    // the parameter sync.
    for (const TimerSetup& t : Timers)
        this->*(t.member) = makeTimer(t.name, t.intervalMs, t.enabledAtStart, t.handler);
}

void TForm1::wireDiscoveryRooms(const AppOptions& options) {
    devices::DiscoveryOptions discoveryOptions = options.discovery;
    discoveryOptions.loopback = options.loopbackOnly;
    discovery_ = new devices::Discovery(*devices_, discoveryOptions, this);
    serialScan_ = new devices::SerialScan(*devices_, *receivePath_, options.serialPortLister, this);
    deviceBoxView_ = new devices::ui::DeviceBoxView(
        *devices_, DeviceBox, DeviceListWidget, DevicePaintBox, DeviceMenu, deviceCountLabel, this);

    connect(devices_, &devices::DeviceList::refreshFinished, SearchTimer,
            qOverload<>(&QTimer::start));
    connect(RemoveDeviceItem, &QAction::triggered, devices_,
            &devices::DeviceList::RemoveDeviceItemClick);
    connect(serialScan_, &devices::SerialScan::portSkipped, this,
            [this](int position) { diagnosticLog()->appendPlainText(QString::number(position)); });
    // A click on a tile (its index is pressedIndex) connects; unplugging the connected USB
    // device disconnects.
    connect(deviceBoxView_, &devices::ui::DeviceBoxView::DevicePanelClick, connection_,
            [this](int) { connection_->DevicePanelClick(); });
    connect(serialScan_, &devices::SerialScan::connectedPortRemoved, connection_,
            &devices::Connection::connectedPortRemoved);
}

void TForm1::wireStatusAndDeviceDialogs() {
    using devices::ui::DeviceDialogs;
    statusRow_->setReportBox([this](const QString& text) { hooks_.showInformation(this, text); });
    connect(receivePath_, &devices::ReceivePath::stateReported, statusRow_, &StatusRow::showStatus);
    connect(BurningItem, &QAction::triggered, this, &TForm1::BurningItemClick);
    connect(connection_, &devices::Connection::writeFailed, this,
            [this](int command) { presets_->sendFailed(command); });

    devices::ui::DeviceDialogHooks dialogHooks;
    dialogHooks.runModal = [this](QDialog& dialog) { hooks_.runDialog(dialog); };
    dialogHooks.showMessage = [this](const QString& text) { hooks_.showMessage(this, text); };
    dialogHooks.closeMainWindow = [this] { close(); };
    dialogHooks.hostIpv4 = &platform::firstHostIpv4;
    deviceDialogs_ = new DeviceDialogs(*devices_, *sync_, this, std::move(dialogHooks), this);
    const auto menuEntry = [](QMenu* menu, const char* name) {
        return menu->findChild<QAction*>(QString::fromLatin1(name));
    };
    connect(RenameItem, &QAction::triggered, deviceDialogs_, &DeviceDialogs::RenameItemClick);
    connect(menuEntry(DeviceMenu, "MACItem"), &QAction::triggered, deviceDialogs_,
            &DeviceDialogs::MACItemClick);
    for (QAction* newDevice :
         {menuEntry(DeviceMenu, "NewDeviceItem"), menuEntry(PopupMenu1, "NewDeviceItem1")})
        connect(newDevice, &QAction::triggered, deviceDialogs_, &DeviceDialogs::NewDeviceItemClick);
}

void TForm1::startDiscoveryRooms() {
    discovery_->start();
    serialScan_->start();
}

void TForm1::FormCreate() {
    DevicePaintBox->resize(DevicePaintBox->width(), DevicePaintBoxSize.height());
    RefreshBtn->setText(QStringLiteral("UPDATE"));
    RenameItem->setText(QStringLiteral("Rename Device"));
    RemoveDeviceItem->setText(QStringLiteral("Remove Device"));
    FactoryIPItem->setVisible(true);
    setWindowIcon(QApplication::windowIcon());
    // MyOnMessage: the burn-in report comes as an application event.
    QCoreApplication::instance()->installEventFilter(statusRow_);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TForm1::FormShow() {
    setWindowTitle(title_);
    centreOnScreen();
    // The device search starts right after the window's first paint (event()).
}

bool TForm1::event(QEvent* event) {
    // Sockets and the serial scan are nothing the first picture shows: the search starts once
    // the shown window has been painted, so that the window is on the screen sooner.
    if (event->type() == QEvent::Paint && !discoveryStarted_ && isVisible()) {
        discoveryStarted_ = true;
        QMetaObject::invokeMethod(this, &TForm1::startDiscoveryRooms, Qt::QueuedConnection);
    }
    return QMainWindow::event(event);
}

void TForm1::centreOnScreen() {
    if (const QScreen* screen = this->screen())
        fitToWorkArea(screen->availableGeometry(), frameGeometry().size() - size());
}

void TForm1::fitToWorkArea(const QRect& workArea, QSize frameExtra) {
    const QSize full(WindowWidthPx, WindowHeightPx);
    const QSize room = workArea.size() - frameExtra;
    setFixedSize(full.boundedTo(room.expandedTo(QSize(1, 1))));
    // Centred when it fits; otherwise its top-left corner (title bar, menus) stays on screen.
    QRect frame(QPoint(0, 0), size() + frameExtra);
    frame.moveCenter(workArea.center());
    move(std::max(frame.left(), workArea.left()), std::max(frame.top(), workArea.top()));
}

void TForm1::closeEvent(QCloseEvent* event) {
    event->accept();
    FormClose();
}

void TForm1::FormClose() {
    // Nothing is asked and nothing is told to a device: the program ends here.
    if (hooks_.endProcess)
        hooks_.endProcess();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == connectflagImage && type == QEvent::MouseMove) {
        connectflagImageMouseMove();
    } else if (watched == ResetImg && type == QEvent::KeyPress && ResetImgKeyDown(event)) {
        return true;
    } else if (watched == ResetImg && (type == QEvent::FocusIn || type == QEvent::FocusOut)) {
        // The focus mark: the picture framed in the accent colour.
        QPixmap picture =
            editor::skinPicture(editor::ImageList::RstImageList, editor::ResetReleased);
        if (type == QEvent::FocusIn) {
            QPainter p(&picture);
            p.setPen(QPen(theme::color(theme::AccentRgb), 2));
            p.drawRect(QRectF(picture.rect()).adjusted(1, 1, -1, -1));
        }
        ResetImg->setPixmap(picture);
    } else if (watched == ResetImg &&
               (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease)) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return QMainWindow::eventFilter(watched, event);
        if (type == QEvent::MouseButtonPress) {
            ResetImg->setPixmap(
                editor::skinPicture(editor::ImageList::RstImageList, editor::ResetPressed));
            return true;
        }
        ResetImg->setPixmap(
            editor::skinPicture(editor::ImageList::RstImageList, editor::ResetReleased));
        ResetImg->setEnabled(true);
        if (ResetImg->rect().contains(mouse->position().toPoint()))
            ResetImgClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TForm1::askYesNo(const QString& text) {
    return hooks_.askYesNo(this, text);
}

void TForm1::showStatusRow(bool visible) {
    statusRow_->setRowVisible(visible);
    BurningItem->setVisible(visible);
    if (visible)
        ReadStateTimer->start();
    else
        ReadStateTimer->stop();
}

bool TForm1::statusRowVisible() const {
    return statusRow_->rowVisible();
}

bool TForm1::savePreset() {
    return presets_->savePreset();
}

bool TForm1::openPreset() {
    return presets_->openPreset();
}

void TForm1::showLinkFlag(bool connected) {
    connectflagImage->setPixmap(
        editor::skinPicture(editor::ImageList::ConnFlagList,
                            connected ? editor::LinkConnected : editor::LinkNotConnected));
}

void TForm1::connectflagImageMouseMove() {
    editor_->setHoverLine(QString(), QStringLiteral("Device:"),
                          connection_->connected() ? QStringLiteral("On") : QStringLiteral("Off"));
}

void TForm1::RefreshBtnClick() {
    // SearchTimer starts again when the list is empty (refreshFinished).
    showNoDeviceHint(false);
    devices_->RefreshBtnClick();
}

void TForm1::ResetImgClick() {
    editor_->ResetImgClick(protocol::ResetBlock);
}

void TForm1::ExitItemClick() {
    close();
}

void TForm1::AboutItemClick() {
    if (hooks_.showAbout)
        hooks_.showAbout(this);
}

void TForm1::Button1Click() {
    if (Memo1 != nullptr)
        Memo1->clear();
}

void TForm1::InputDecTimerTimer() {
    editor_->InputDecTimerTimer();
}

void TForm1::InputAddTimerTimer() {
    editor_->InputAddTimerTimer();
}

void TForm1::SearchTimerTimer() {
    --state_.searchCountdown;
    TimeLabel->setText(QString::number(state_.searchCountdown));
    if (state_.searchCountdown <= 0) {
        TimeLabel->setText(NoDeviceText);
        state_.searchCountdown = SearchCountdownStart;
        SearchTimer->stop();
    }
    showNoDeviceHint(TimeLabel->text() == NoDeviceText && devices_->deviceCount() == 0);
}

void TForm1::buildEditMenu() {
    auto* editMenu = new QMenu(QStringLiteral("&Edit"), this);
    editMenu->setObjectName(QStringLiteral("EditItem"));
    menuBar()->insertMenu(ViewItem->menuAction(), editMenu);
    UndoItem = editMenu->addAction(QStringLiteral("&Undo"));
    UndoItem->setObjectName(QStringLiteral("UndoItem"));
    UndoItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    RedoItem = editMenu->addAction(QStringLiteral("&Redo"));
    RedoItem->setObjectName(QStringLiteral("RedoItem"));
    RedoItem->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(UndoItem, &QAction::triggered, editor_.get(), &editor::EqEditor::undo);
    connect(RedoItem, &QAction::triggered, editor_.get(), &editor::EqEditor::redo);
    auto enable = [this] {
        UndoItem->setEnabled(editor_->history().canUndo());
        RedoItem->setEnabled(editor_->history().canRedo());
    };
    connect(editor_.get(), &editor::EqEditor::historyChanged, this, enable);
    enable();
}

void TForm1::buildKeyboardOrder() {
    // The reset button in the top bar is reached with Tab and pressed with Space or Enter.
    ResetImg->setFocusPolicy(Qt::TabFocus);
    QWidget::setTabOrder(RefreshBtn, DeviceBox);
    QWidget::setTabOrder(DeviceBox, ResetImg);
    QWidget::setTabOrder(ResetImg, editor_->plot());
    QWidget::setTabOrder(editor_->plot(), editor_->trimDecImg());
}

bool TForm1::ResetImgKeyDown(QEvent* event) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    ResetImgClick();
    return true;
}

void TForm1::buildNoDeviceHint() {
    noDeviceHint_ = makeLabel(QStringLiteral("NoDeviceHint"), NoDeviceHintText, NoDeviceHintRect,
                              DeviceListWidget);
    noDeviceHint_->setWordWrap(true);
    noDeviceHint_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    noDeviceHint_->setAccessibleName(QStringLiteral("What to do"));
    connect(devices_, &devices::DeviceList::deviceCountChanged, this, [this](int count) {
        if (count > 0)
            showNoDeviceHint(false);
    });
    showNoDeviceHint(false);
}

void TForm1::showNoDeviceHint(bool visible) {
    noDeviceHint_->setVisible(visible);
}

void TForm1::ReadStateTimerTimer() {
    sync_->ReadStateTimerTimer();
}

void TForm1::BurningItemClick() {
    sync_->sendBurning();
}

} // namespace tq50r::app
