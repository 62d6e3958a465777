// The device rooms on fake channels, with what the window would show recorded. Timers are driven
// by calling their handlers; nothing here waits.
#pragma once

#include "devices/connection.h"
#include "devices/frame_bytes.h"
#include "devices/parameter_sync.h"
#include "support/fake_channel.h"

#include <QStringList>

namespace tq50r::devices::testing {

struct FakeDialog : ConnectingDialog {
    explicit FakeDialog(int& alive) : alive(alive) { ++alive; }
    ~FakeDialog() override { --alive; }
    void show() override { visible = true; }
    void close() override { visible = false; }
    void stopTimer() override {}
    int& alive;
    bool visible = false;
};

struct ConnectionRig {
    DeviceList devices;
    eq::EqSetting setting = eq::startSetting();
    LinkMonitor link;
    ReceivePath path{devices, setting, link};
    transport::FakeChannelFactory* factory = new transport::FakeChannelFactory;
    int dialogsAlive = 0;
    FakeDialog* dialog = nullptr;
    std::function<void()> cancel;
    Connection connection{devices, link, path,
                          [this](std::function<void()> onCancel) {
                              cancel = std::move(onCancel);
                              auto d = std::make_unique<FakeDialog>(dialogsAlive);
                              dialog = d.get();
                              return d;
                          },
                          std::unique_ptr<transport::ChannelFactory>(factory)};
    ParameterSync sync{connection, setting, link, devices};
    QStringList messages;
    std::vector<bool> refreshEnabled;

    ConnectionRig() {
        QObject::connect(&connection, &Connection::messageRequested,
                         [this](const QString& t) { messages << t; });
        QObject::connect(&connection, &Connection::refreshButtonEnabled,
                         [this](bool e) { refreshEnabled.push_back(e); });
    }
    // Lists a device with its tile built; its index.
    int add(const char* key, std::int32_t kind) {
        devices.addDevice(QString::fromLatin1(key), UnknownMac, kind);
        devices.DeviceTimerTimer();
        return devices.size() - 1;
    }
    void click(int index) {
        devices.DeviceMouseDown(index, Qt::LeftButton);
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
        path.feed(bytes, FrameOrigin{tcp ? SourceKind::Tcp : SourceKind::Serial, {}});
    }
    // A connected device at a new list entry, with nothing written yet.
    int connectTo(const char* key, std::int32_t kind) {
        const int index = add(key, kind);
        click(index);
        reply(connectReply("Amp"));
        flush();
        line().clearWritten();
        return index;
    }
};

} // namespace tq50r::devices::testing
