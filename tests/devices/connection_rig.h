// The device rooms on fake channels: a device list, the receive path, the connection and the
// parameter sync, with every signal the window would show recorded. Timers are driven by calling
// their handlers; nothing here waits.
#pragma once

#include "devices/connection.h"
#include "devices/frame_bytes.h"
#include "devices/parameter_sync.h"
#include "transport/fake_channel.h"

#include <QString>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <vector>

namespace tq50r::devices::testing {

class FakeDialog : public ConnectingDialog {
public:
    explicit FakeDialog(int& alive) : alive_(alive) { ++alive_; }
    ~FakeDialog() override { --alive_; }
    void show() override { visible = true; }
    void close() override { visible = false; }
    void stopTimer() override { timerStopped = true; }
    bool visible = false;
    bool timerStopped = false;

private:
    int& alive_;
};

struct ConnectionRig {
    DeviceList devices;
    eq::EqSetting setting = eq::startSetting();
    LinkMonitor link;
    ReceivePath path{devices, setting, link};
    transport::FakeChannelFactory* factory = new transport::FakeChannelFactory;
    int dialogsAlive = 0;
    int dialogsMade = 0;
    FakeDialog* lastDialog = nullptr;
    std::function<void()> cancel;
    Connection connection{devices, link, path,
                          [this](std::function<void()> onCancel) {
                              cancel = std::move(onCancel);
                              auto d = std::make_unique<FakeDialog>(dialogsAlive);
                              lastDialog = d.get();
                              ++dialogsMade;
                              return d;
                          },
                          std::unique_ptr<transport::ChannelFactory>(factory)};
    ParameterSync sync{connection, setting, link, devices};
    QStringList messages;
    std::vector<bool> refreshEnabled;
    std::vector<int> faderSync;
    std::vector<bool> statusRow;
    std::vector<bool> linkFlag;

    ConnectionRig() {
        QObject::connect(&connection, &Connection::messageRequested,
                         [this](const QString& t) { messages << t; });
        QObject::connect(&connection, &Connection::refreshButtonEnabled,
                         [this](bool e) { refreshEnabled.push_back(e); });
        QObject::connect(&connection, &Connection::faderSyncStateRequested,
                         [this](int s) { faderSync.push_back(s); });
        QObject::connect(&connection, &Connection::statusRowRequested,
                         [this](bool v) { statusRow.push_back(v); });
        QObject::connect(&connection, &Connection::connectedChanged,
                         [this](bool c) { linkFlag.push_back(c); });
    }

    // Lists a device with its tile built; its index.
    int add(const char* key, std::int32_t kind) {
        devices.addDevice(QString::fromLatin1(key), UnknownMac, kind);
        devices.DeviceTimerTimer();
        return devices.size() - 1;
    }
    void click(int index) {
        devices.DeviceMouseDown(index, Qt::LeftButton);
        devices.DeviceMouseUp(index, Qt::LeftButton);
        connection.DevicePanelClick();
    }
    transport::FakeLink& line() { return *factory->lastLink(); }
    // Lets the pace timer run out until nothing waits and the line is free again.
    void flush() {
        PacedChannel* c = connection.currentChannel();
        while (c != nullptr && c->paceTimer()->isActive())
            c->PaceTimerTimer();
    }
    // The device answers on the current channel's kind of source.
    void reply(const Bytes& bytes) {
        const bool tcp = connection.currentChannel()->channelKind() == transport::kTcpChannelKind;
        path.feed(bytes,
                  FrameOrigin{tcp ? SourceKind::Tcp : SourceKind::Serial, QStringLiteral("x")});
    }
    // A connected device at a new list entry.
    int connectTo(const char* key, std::int32_t kind, const char* name = "Amp") {
        const int index = add(key, kind);
        click(index);
        if (kind != KindUsb)
            connection.ClientSocket1Connect();
        reply(connectReply(name));
        flush();
        line().clearWritten();
        return index;
    }
};

} // namespace tq50r::devices::testing
