// The connection: a click on a tile starts an attempt over the device's serial port or over TCP to
// port 5000 of its address; the device's Connect reply establishes it; a six-second check declares
// a silent link lost and a three-second loop reconnects. This room owns the serial port ComPort1,
// the TCP client ClientSocket1, the current channel with its request sender, and `connected`: the
// one place that says whether a device is connected. Everything runs on the GUI thread.
//
// What the window shows of it (link flag, UPDATE button, status row, messages, the "Connecting"
// dialog) leaves as signals or through the dialog factory, so the logic runs without widgets.
#pragma once

#include "devices/connecting_dialog.h"
#include "devices/device_list.h"
#include "devices/link_monitor.h"
#include "devices/paced_channel.h"
#include "devices/receive_path.h"
#include "transport/request_sender.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

namespace tq50r::transport {
class ChannelFactory;
class ClientSocket;
class TComPort;
} // namespace tq50r::transport

namespace tq50r::devices {

class Connection : public QObject {
    Q_OBJECT
public:
    static constexpr int ConnectTimerMs = 1000;
    static constexpr int CheckTimerMs = 6000;
    static constexpr int ReconnectTimerMs = 3000;
    // The ConnectTimer tick that gives up.
    static constexpr int ConnectAttemptLimit = 8;
    static constexpr quint16 DevicePort = 5000;
    // faderSyncState at a click and after a connect.
    static constexpr int FaderSyncAtClick = 0;
    static constexpr int FaderSyncConnected = 9;

    // Channels come from `factory`; without one, from ComPort1 and ClientSocket1 (whose writes
    // then never pause: the paced channel spaces them).
    Connection(DeviceList& devices, LinkMonitor& link, ReceivePath& receivePath,
               ConnectingDialogFactory dialogs,
               std::unique_ptr<transport::ChannelFactory> factory = nullptr,
               QObject* parent = nullptr);
    ~Connection() override;

    // ---- state --------------------------------------------------------------------------------
    bool connected() const { return connected_; }
    PacedChannel* currentChannel() const { return currentChannel_.get(); }
    transport::RequestSender* requestSender() const { return requestSender_.get(); }
    int connectAttempts() const { return connectAttempts_; }
    bool cancelBusy() const { return cancelBusy_; }
    ConnectingDialog* progressDialog() const { return progressDialog_.get(); }
    transport::TComPort& ComPort1() const { return *comPort1_; }
    transport::ClientSocket& ClientSocket1() const { return *clientSocket1_; }
    QTimer* connectTimer() const { return connectTimer_; }
    QTimer* checkTimer() const { return checkTimer_; }
    QTimer* reconnectTimer() const { return reconnectTimer_; }

    // ---- handlers -----------------------------------------------------------------------------
    // Click on the tile at the device list's pressedIndex (the tile view's click goes here).
    void DevicePanelClick();
    // The socket has connected: the zero preamble, then the Connect request.
    void ClientSocket1Connect();
    // Bytes arrived on the socket.
    void ClientSocket1Read();
    void ConnectTimerTimer();
    void CancelProgressBar();
    void CheckTimerTimer();
    void ReconnectTimerTimer();
    void ComPort1Exception(std::int64_t osError);
    // A Connect reply from the receive path: establishes the connection unless one exists.
    void ConnectReplied(tq50r::devices::SourceKind kind, const QString& name, int revision);
    // The connected USB device's port disappeared from the system.
    void connectedPortRemoved();
    // The device list removed the entry at connectedIndex.
    void ConnectedDeviceRemoved(std::int32_t kind);

signals:
    // `connected` changed; the link flag shows it.
    void connectedChanged(bool connected);
    // A connect attempt was established: the recall, the idle poll and the lamp follow.
    void established();
    // UPDATE is usable (black text) or not (silver text).
    void refreshButtonEnabled(bool enabled);
    void statusRowRequested(bool visible);
    void faderSyncStateRequested(int state);
    // A plain message box with an OK button.
    void messageRequested(const QString& text);
    // A frame with this command byte could not be written on the current channel.
    void writeFailed(int command);

private:
    void setConnected(bool value);
    // Drops the current channel and its sender, and makes a new pair of the given kind.
    void replaceChannel(std::int32_t kind);
    void disconnectDevice();
    // Serial attempt on the port `key`: steps shared by both USB cases.
    void startSerialAttempt(const QString& key);
    void showNewDialog();
    void destroyDialog();
    void closeChannelIfOpen();
    bool channelIsTcp() const;

    DeviceList& devices_;
    LinkMonitor& link_;
    ReceivePath& receivePath_;
    ConnectingDialogFactory dialogs_;
    transport::TComPort* comPort1_ = nullptr;
    transport::ClientSocket* clientSocket1_ = nullptr;
    std::unique_ptr<transport::ChannelFactory> factory_;
    std::unique_ptr<PacedChannel> currentChannel_;
    std::unique_ptr<transport::RequestSender> requestSender_;
    std::unique_ptr<ConnectingDialog> progressDialog_;
    // The names ComPort1 and ClientSocket1 were last given: the key of a Connect reply.
    QString comPort1Name_;
    QString socketHost_;
    bool connected_ = false;
    bool cancelBusy_ = false;
    int connectAttempts_ = 0;
    QTimer* connectTimer_ = nullptr;
    QTimer* checkTimer_ = nullptr;
    QTimer* reconnectTimer_ = nullptr;
};

} // namespace tq50r::devices
