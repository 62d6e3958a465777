#include "devices/connection.h"

#include "devices/named_timer.h"
#include "transport/channel_factory.h"
#include "transport/com_port.h"
#include "transport/tcp_channel.h"

#include <array>

namespace tq50r::devices {

namespace {

const QString ConnectionFailedText = QStringLiteral("Conenction failed");
const QString PortUnavailableText = QStringLiteral("Puerto COM no disponiable");

} // namespace

Connection::Connection(DeviceList& devices, LinkMonitor& link, ReceivePath& receivePath,
                       ConnectingDialogFactory dialogs,
                       std::unique_ptr<transport::ChannelFactory> factory, QObject* parent)
    : QObject(parent), devices_(devices), link_(link), receivePath_(receivePath),
      dialogs_(std::move(dialogs)), comPort1_(new transport::TComPort(this)),
      clientSocket1_(new transport::ClientSocket(this)), factory_(std::move(factory)) {
    setObjectName(QStringLiteral("Connection"));
    comPort1_->setObjectName(QStringLiteral("ComPort1"));
    clientSocket1_->setObjectName(QStringLiteral("ClientSocket1"));
    if (!factory_) {
        factory_ = std::make_unique<transport::ComponentChannelFactory>(
            *comPort1_, *clientSocket1_, [](std::chrono::milliseconds) {});
    }
    comPort1_->OnRxChar = [this](transport::TComPort& port, int count) {
        receivePath_.ComPort1RxChar(port, count);
    };
    comPort1_->OnException = [this](transport::TComPort&, int, const std::string&,
                                    std::int64_t osError,
                                    const std::string&) { ComPort1Exception(osError); };
    connect(clientSocket1_, &transport::ClientSocket::connected, this,
            &Connection::ClientSocket1Connect);
    connect(clientSocket1_, &transport::ClientSocket::readyRead, this,
            &Connection::ClientSocket1Read);

    connectTimer_ =
        makeNamedTimer(this, "ConnectTimer", ConnectTimerMs, &Connection::ConnectTimerTimer);
    checkTimer_ = makeNamedTimer(this, "CheckTimer", CheckTimerMs, &Connection::CheckTimerTimer);
    reconnectTimer_ =
        makeNamedTimer(this, "ReconnectTimer", ReconnectTimerMs, &Connection::ReconnectTimerTimer);

    connect(&receivePath_, &ReceivePath::connectReported, this, &Connection::ConnectReplied);
    connect(&devices_, &DeviceList::connectedDeviceRemoved, this,
            &Connection::ConnectedDeviceRemoved);
}

Connection::~Connection() {
    // The dialog and the channel go before the components they refer to.
    progressDialog_.reset();
    requestSender_.reset();
    currentChannel_.reset();
    comPort1_->OnRxChar = nullptr;
    comPort1_->OnException = nullptr;
}

void Connection::setConnected(bool value) {
    connected_ = value;
    emit connectedChanged(value);
}

bool Connection::channelIsTcp() const {
    return currentChannel_ && currentChannel_->channelKind() == transport::kTcpChannelKind;
}

void Connection::replaceChannel(std::int32_t kind) {
    requestSender_.reset();
    currentChannel_.reset();
    std::unique_ptr<transport::TransportChannel> inner = kind == transport::kTcpChannelKind
                                                             ? factory_->createTcpChannel()
                                                             : factory_->createSerialChannel();
    currentChannel_ = std::make_unique<PacedChannel>(std::move(inner));
    connect(currentChannel_.get(), &PacedChannel::writeFailed, this, &Connection::writeFailed);
    requestSender_ = std::make_unique<transport::RequestSender>(*currentChannel_);
}

void Connection::closeChannelIfOpen() {
    if (currentChannel_ && currentChannel_->isOpen())
        currentChannel_->close();
}

void Connection::showNewDialog() {
    progressDialog_ = dialogs_ ? dialogs_([this] { CancelProgressBar(); }) : nullptr;
    if (progressDialog_)
        progressDialog_->show();
}

void Connection::destroyDialog() {
    progressDialog_.reset();
}

void Connection::disconnectDevice() {
    setConnected(false);
    checkTimer_->stop();
    if (currentChannel_)
        currentChannel_->close();
    emit statusRowRequested(false);
    devices_.hideFrame();
}

void Connection::startSerialAttempt(const QString& key) {
    if (comPort1_->Connected())
        comPort1_->Close();
    replaceChannel(transport::kSerialChannelKind);
    comPort1Name_ = key;
    currentChannel_->setAddress(key.toStdString());
    currentChannel_->open();
    requestSender_->sendConnectRequest();
}

void Connection::DevicePanelClick() {
    const int pressed = devices_.pressedIndex();
    if (!devices_.isValidIndex(pressed))
        return;
    const DeviceEntry entry = devices_.deviceEntries()[static_cast<std::size_t>(pressed)];
    emit faderSyncStateRequested(FaderSyncAtClick);
    const bool clickedConnected = pressed == devices_.connectedIndex();

    if (entry.kind == KindUsb) {
        if (connected_) {
            disconnectDevice();
            if (clickedConnected)
                return;
            startSerialAttempt(entry.key);
            // A dialog hidden by Cancel stays hidden during this attempt.
            if (!progressDialog_)
                showNewDialog();
        } else {
            startSerialAttempt(entry.key);
            destroyDialog();
            showNewDialog();
        }
        connectTimer_->start();
        return;
    }

    if (connected_) {
        disconnectDevice();
        receivePath_.resetParser();
        replaceChannel(transport::kTcpChannelKind);
        destroyDialog();
        if (clickedConnected)
            return;
        showNewDialog();
    } else {
        replaceChannel(transport::kTcpChannelKind);
        destroyDialog();
        showNewDialog();
    }
    // UPDATE would renumber the list under a running network attempt.
    emit refreshButtonEnabled(false);
    socketHost_ = entry.key;
    currentChannel_->setAddress(entry.key.toStdString() + ":" + std::to_string(DevicePort));
    currentChannel_->open();
    connectTimer_->start();
}

void Connection::ClientSocket1Connect() {
    // A socket whose attempt was replaced by a serial one is not this connection's business.
    if (!channelIsTcp())
        return;
    requestSender_->sendZeroBlock();
    requestSender_->sendConnectRequest();
}

void Connection::ClientSocket1Read() {
    const qint64 pending = clientSocket1_->pendingCount();
    if (channelIsTcp()) {
        receivePath_.ClientSocket1Read(*currentChannel_, pending);
        return;
    }
    // Bytes of a socket that is no longer the current channel belong to no connection.
    clientSocket1_->readAll();
}

void Connection::ConnectTimerTimer() {
    if (connected_)
        return;
    if (currentChannel_ && currentChannel_->isOpen())
        requestSender_->sendConnectRequest();
    if (++connectAttempts_ < ConnectAttemptLimit)
        return;
    connectAttempts_ = 0;
    connectTimer_->stop();
    closeChannelIfOpen();
    if (progressDialog_ && !cancelBusy_) {
        progressDialog_->stopTimer();
        destroyDialog();
    }
    emit messageRequested(ConnectionFailedText);
    emit refreshButtonEnabled(true);
    devices_.showRedCross(devices_.pressedIndex());
}

void Connection::CancelProgressBar() {
    connectTimer_->stop();
    if (!progressDialog_)
        return;
    cancelBusy_ = true;
    closeChannelIfOpen();
    progressDialog_->close();
    cancelBusy_ = false;
}

void Connection::ConnectReplied(SourceKind kind, const QString& name, int revision) {
    if (connected_)
        return;
    emit faderSyncStateRequested(FaderSyncConnected);
    connectTimer_->stop();
    reconnectTimer_->stop();
    checkTimer_->start();
    emit established();
    connectAttempts_ = 0;
    emit refreshButtonEnabled(true);
    destroyDialog();
    devices_.setConnectedIndex(
        devices_.indexOfKey(kind == SourceKind::Serial ? comPort1Name_ : socketHost_));
    setConnected(true);
    devices_.markConnected(name);
    if (revision >= protocol::StatusRevision)
        emit statusRowRequested(true);
}

void Connection::CheckTimerTimer() {
    const int index = devices_.connectedIndex();
    if (!link_.linkAlive && index != -1) {
        devices_.showRedCross(index);
        devices_.hideFrame();
        checkTimer_->stop();
        if (currentChannel_)
            currentChannel_->close();
        setConnected(false);
        reconnectTimer_->start();
    }
    link_.linkAlive = false;
}

void Connection::ReconnectTimerTimer() {
    if (!currentChannel_)
        return;
    currentChannel_->open();
    requestSender_->sendConnectRequest();
}

void Connection::ComPort1Exception(std::int64_t osError) {
    if (osError == transport::kOsErrorAccessDenied)
        emit messageRequested(PortUnavailableText);
}

void Connection::connectedPortRemoved() {
    setConnected(false);
    devices_.hideFrame();
    checkTimer_->stop();
}

void Connection::ConnectedDeviceRemoved(std::int32_t kind) {
    if (kind == KindUsb) {
        if (comPort1_->Connected())
            comPort1_->Close();
        if (currentChannel_ && currentChannel_->channelKind() == transport::kSerialChannelKind)
            currentChannel_->close();
    }
    setConnected(false);
    checkTimer_->stop();
}

} // namespace tq50r::devices
