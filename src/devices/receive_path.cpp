#include "devices/receive_path.h"

#include "eq/encoding.h"
#include "eq/operations.h"
#include "transport/receive_loops.h"
#include "transport/com_port.h"

#include <QCoreApplication>
#include <algorithm>

namespace tq50r::devices {

ReceivePath::ReceivePath(DeviceList& devices, eq::EqSetting& setting, LinkMonitor& link,
                         QObject* parent)
    : QObject(parent), devices_(devices), setting_(setting), link_(link) {
    setObjectName(QStringLiteral("ReceivePath"));
    parser_.setDispatch([this](protocol::FrameBytes frame, protocol::FrameSource source) {
        const auto& origin = *reinterpret_cast<const FrameOrigin*>(source);
        if (held_) {
            heldFrames_.push_back(HeldFrame{{frame.begin(), frame.end()}, origin});
            return;
        }
        dispatch(frame, origin);
    });
}

void ReceivePath::ComPort1RxChar(transport::TComPort& port, int count) {
    const FrameOrigin origin{SourceKind::Serial, QString::fromStdString(port.Port())};
    transport::receiveFromPort(port, count,
                               [&](std::span<const std::uint8_t> piece) { feed(piece, origin); });
}

void ReceivePath::ClientSocket1Read(transport::TransportChannel& channel, std::int64_t pending) {
    const FrameOrigin origin{SourceKind::Tcp, {}};
    transport::receiveFromChannel(channel, pending,
                                  [&](std::span<const std::uint8_t> piece) { feed(piece, origin); });
}

void ReceivePath::feed(std::span<const std::uint8_t> bytes, const FrameOrigin& origin) {
    parser_.feed(bytes, reinterpret_cast<protocol::FrameSource>(&origin));
}

void ReceivePath::release() {
    held_ = false;
    // A frame taken here may hold the path again (a whole setting); the rest then waits on.
    while (!held_ && !heldFrames_.empty()) {
        const HeldFrame next = std::move(heldFrames_.front());
        heldFrames_.pop_front();
        dispatch(next.bytes, next.origin);
    }
}

void ReceivePath::dispatch(protocol::FrameBytes frame, const FrameOrigin& origin) {
    using protocol::CommandCode;
    // Every frame counts as traffic, also one too short to carry its values.
    link_.markTraffic();
    const std::optional<std::uint8_t> command = protocol::commandByte(frame);
    if (!command)
        return;
    switch (static_cast<CommandCode>(*command)) {
    case CommandCode::Poll:
        if (origin.kind == SourceKind::Serial && !devices_.containsKey(origin.portName) &&
            devices_.addDevice(origin.portName, UnknownMac, KindUsb)) {
            devices_.flags().scanHold = 1;
            emit usbDeviceFound(devices_.size() - 1);
        }
        break;
    case CommandCode::Trim:
        if (const auto trim = protocol::readTrimByte(frame)) {
            setting_.trimDb = eq::decodeTrim(*trim);
            emit trimReported();
        }
        break;
    case CommandCode::Band:
        if (const auto report = protocol::readBandReport(frame);
            report && report->bandNumber >= 1 && report->bandNumber <= eq::BandCount) {
            eq::applyBandReport(setting_, report->bandNumber, report->bytes);
            emit bandReported(report->bandNumber);
        }
        break;
    case CommandCode::Bypass:
        if (const auto bypass = protocol::readBypassByte(frame)) {
            setting_.bypass = *bypass != 0;
            emit bypassReported();
        }
        break;
    case CommandCode::Setting:
        if (frame.size() >= protocol::ParameterBlockSize) {
            protocol::ParameterBlock block{};
            std::copy_n(frame.begin(), block.size(), block.begin());
            emit settingReported(block);
        }
        break;
    case CommandCode::Connect:
        if (const auto reply = protocol::readConnectReply(frame))
            emit connectReported(origin.kind, QString::fromUtf8(reply->name.c_str()),
                                 reply->revision);
        break;
    case CommandCode::MacReport:
        if (const auto mac = protocol::readMacReport(frame);
            mac && devices_.isValidIndex(devices_.connectedIndex()))
            devices_.setMac(devices_.connectedIndex(),
                            QString::fromStdString(protocol::macText(*mac)), true);
        break;
    case CommandCode::ReadState:
        if (const auto state = protocol::readDeviceState(frame))
            emit stateReported(*state);
        break;
    case CommandCode::Burning:
        if (const auto report = protocol::readBurningReport(frame);
            report && QCoreApplication::instance() != nullptr)
            QCoreApplication::postEvent(
                QCoreApplication::instance(),
                new BurningMessageEvent(report->count, report->totalMinutes));
        break;
    default:
        break;
    }
}

} // namespace tq50r::devices
