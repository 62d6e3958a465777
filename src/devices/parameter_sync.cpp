#include "devices/parameter_sync.h"

#include "devices/named_timer.h"

namespace tq50r::devices {

ParameterSync::ParameterSync(Connection& connection, eq::EqSetting& setting, LinkMonitor& link,
                             DeviceList& devices, QObject* parent)
    : QObject(parent), connection_(connection), setting_(setting), link_(link), devices_(devices),
      trimFrame_(protocol::buildTrimFrame(setting.trimDb)),
      bypassFrame_(protocol::buildBypassFrame(setting.bypass)) {
    setObjectName(QStringLiteral("ParameterSync"));
    for (int n = 1; n <= eq::BandCount; ++n)
        bandFrames_[static_cast<std::size_t>(n - 1)] = protocol::buildBandFrame(n, setting.band(n));

    recallTimer_ =
        makeNamedTimer(this, "RecallTimer", RecallTimerMs, &ParameterSync::RecallTimerTimer);
    requestTimer_ =
        makeNamedTimer(this, "RequestTimer", RequestTimerMs, &ParameterSync::RequestTimerTimer);

    connect(&connection_, &Connection::established, this, [this] {
        recallTimer_->start();
        requestTimer_->start();
    });
    connect(&devices_, &DeviceList::deviceRenamed, this, &ParameterSync::onDeviceRenamed);
}

template <std::size_t N>
void ParameterSync::write(const std::array<std::uint8_t, N>& frame, bool marksTraffic) {
    PacedChannel* channel = connection_.currentChannel();
    if (channel == nullptr)
        return;
    channel->write(frame.data(), static_cast<std::int32_t>(frame.size()));
    if (marksTraffic)
        link_.markTraffic();
}

bool ParameterSync::channelOpen() const {
    return connection_.currentChannel() != nullptr && connection_.currentChannel()->isOpen();
}

void ParameterSync::sendBand(int n) {
    if (!connected() || n < 1 || n > eq::BandCount)
        return;
    protocol::BandFrame& frame = bandFrames_[static_cast<std::size_t>(n - 1)];
    protocol::refillBandFrame(frame, setting_.band(n));
    write(frame, true);
}

void ParameterSync::sendTrim() {
    if (!connected())
        return;
    protocol::refillTrimFrame(trimFrame_, setting_.trimDb);
    write(trimFrame_, true);
}

void ParameterSync::sendBypass(bool requested) {
    if (!connected())
        return;
    protocol::refillBypassFrame(bypassFrame_, requested);
    write(bypassFrame_, false);
}

void ParameterSync::sendSetting(const protocol::ParameterBlock& block) {
    if (!connected())
        return;
    write(block, true);
}

bool ParameterSync::sendSettingIfChannelOpen(const protocol::ParameterBlock& block) {
    if (!channelOpen())
        return false;
    write(block, true);
    return true;
}

bool ParameterSync::sendBurning() {
    if (connection_.currentChannel() == nullptr)
        return false;
    write(protocol::buildRequest(protocol::CommandCode::Burning), false);
    return true;
}

bool ParameterSync::isConnectedDevice(int index) const {
    return connection_.currentChannel() != nullptr && connected() &&
           index == devices_.connectedIndex();
}

void ParameterSync::onDeviceRenamed(int index, const QString& name) {
    if (isConnectedDevice(index))
        write(protocol::buildRenameFrame(name.toStdString()), false);
}

bool ParameterSync::sendMac(int index) {
    if (!isConnectedDevice(index) || !devices_.isValidIndex(index))
        return false;
    const auto frame = protocol::buildMacFrame(
        devices_.deviceEntries()[static_cast<std::size_t>(index)].mac.toStdString());
    if (!frame)
        return false;
    write(*frame, false);
    return true;
}

void ParameterSync::RecallTimerTimer() {
    recallTimer_->stop();
    if (channelOpen())
        write(protocol::buildRequest(protocol::CommandCode::Recall), true);
}

void ParameterSync::RequestTimerTimer() {
    ++link_.idleTicks;
    if (!connected() || !channelOpen() || link_.idleTicks < IdlePollTicks)
        return;
    link_.idleTicks = 0;
    connection_.requestSender()->sendPoll();
}

void ParameterSync::ReadStateTimerTimer() {
    if (connected() && connection_.currentChannel() != nullptr)
        write(protocol::buildRequest(protocol::CommandCode::ReadState), false);
}

} // namespace tq50r::devices
