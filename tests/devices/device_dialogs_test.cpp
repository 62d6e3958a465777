// The rename, MAC and new-device dialogs, driven through their handlers on fake channels: what
// the user can type, what the device list keeps and which frame reaches the device.
#include "devices/connection_rig.h"
#include "devices/ui/device_dialogs.h"
#include "devices/ui/device_forms.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace tq50r::devices::ui {
namespace {

using namespace devices::testing;

struct DialogRig {
    ConnectionRig rig;
    QStringList messages;
    int closes = 0;
    std::function<void(QDialog&)> answer; // what the user does in the open dialog
    DeviceDialogs dialogs{rig.devices,
                          rig.sync,
                          nullptr,
                          {.runModal =
                               [this](QDialog& d) {
                                   d.show();
                                   answer(d);
                               },
                           .showMessage = [this](const QString& t) { messages << t; },
                           .closeMainWindow = [this] { ++closes; },
                           .hostIpv4 = [] { return std::optional<std::uint32_t>(0xC6120007); }}};

    void target(int index) { rig.devices.DeviceMouseDown(index, Qt::RightButton); }
    const DeviceEntry& entry(int index) const {
        return rig.devices.deviceEntries()[static_cast<std::size_t>(index)];
    }
};

TEST(DeviceDialogs, RenameStopsTypingAtTwelveCutsAPasteAndTellsOnlyTheConnectedDevice) {
    DialogRig d;
    const int other = d.rig.add("127.0.0.3", KindNetwork);
    const int amp = d.rig.connectTo("127.0.0.2", KindNetwork);
    d.answer = [](QDialog& dialog) {
        auto& form = dynamic_cast<TRenameFm&>(dialog);
        EXPECT_EQ(form.NameEdit->text(), QStringLiteral("Amp"));
        form.NameEdit->selectAll();
        QTest::keyClicks(form.NameEdit, QStringLiteral("ABCDEFGHIJKLM"));
        EXPECT_EQ(form.NameEdit->text(), QStringLiteral("ABCDEFGHIJKL"));
        QTest::keyClick(form.NameEdit, Qt::Key_Backspace);
        QTest::keyClicks(form.NameEdit, QStringLiteral("Z"));
        QTest::keyClick(form.NameEdit, Qt::Key_Return);
    };
    d.target(amp);
    d.dialogs.RenameItemClick();
    EXPECT_EQ(d.entry(amp).name, QStringLiteral("ABCDEFGHIJKZ"));
    d.rig.flush();
    EXPECT_EQ(d.rig.line().writes(),
              std::vector<Bytes>{toBytes(protocol::buildRenameFrame("ABCDEFGHIJKZ"))});

    // Pasted: fourteen letters and an e-acute take 16 bytes; the acute letter is left out whole.
    d.answer = [](QDialog& dialog) {
        auto& form = dynamic_cast<TRenameFm&>(dialog);
        form.NameEdit->setText(QString::fromUtf8("ABCDEFGHIJKLMN\xC3\xA9"));
        form.OKBtn->click();
    };
    d.target(other);
    d.dialogs.RenameItemClick();
    EXPECT_EQ(d.entry(other).name, QStringLiteral("ABCDEFGHIJKLMN"));
    d.rig.flush();
    EXPECT_EQ(d.rig.line().writes().size(), 1U); // nothing for a device that is not connected
}

TEST(DeviceDialogs, MacTakesHexDigitsInUpperCaseAndOnlyTheConnectedDeviceGetsTheFrame) {
    DialogRig d;
    const int other = d.rig.add("127.0.0.3", KindNetwork);
    const int amp = d.rig.connectTo("127.0.0.2", KindNetwork);
    d.rig.devices.setMac(amp, QStringLiteral("00A1B00AB1B0"), false);
    d.answer = [](QDialog& dialog) {
        auto& form = dynamic_cast<TMacForm&>(dialog);
        // The device's last six digits behind the fixed part; typed over, a 1 stays a 1 (it is
        // not taken for the fixed one), g is refused and letters show in upper case.
        EXPECT_EQ(form.MacEdit->text(), QString::fromUtf8("0A：B1：B0"));
        form.MacEdit->selectAll();
        QTest::keyClicks(form.MacEdit, QStringLiteral("1g2ab34"));
        EXPECT_EQ(form.MacEdit->text(), QString::fromUtf8("12：AB：34"));
        form.MacOkBtn->click();
    };
    d.target(amp);
    d.dialogs.MACItemClick();
    EXPECT_EQ(d.entry(amp).mac, QStringLiteral("00A1B012AB34"));
    EXPECT_EQ(d.rig.devices.deviceTiles()[1].macText, QStringLiteral("FF:FF:FF:FF:FF:FF"));
    d.rig.flush();
    EXPECT_EQ(d.rig.line().writes(),
              (std::vector<Bytes>{{0x01, 0x20, 0x03, 0x40, 0x10, 0x20, 0x00, // SetMac, 16 bytes
                                   0x00, 0xA1, 0xB0, 0x12, 0xAB, 0x34,       // the new MAC
                                   0x01, 0x05, 0x60}}));
    EXPECT_EQ(d.messages, QStringList{DeviceDialogs::RestartText});
    EXPECT_EQ(d.closes, 1);

    d.messages.clear(); // fewer than six digits; then a device that is not connected
    d.answer = [](QDialog& dialog) {
        auto& form = dynamic_cast<TMacForm&>(dialog);
        form.setTypedText(QStringLiteral("12AB3"));
        form.MacOkBtn->click();
        form.setTypedText(QStringLiteral("C0FFEE"));
        form.MacOkBtn->click();
    };
    d.target(other);
    d.dialogs.MACItemClick();
    EXPECT_EQ(d.messages,
              (QStringList{DeviceDialogs::WrongFormatText, DeviceDialogs::NotOnlineText}));
    EXPECT_EQ(d.entry(other).mac, QStringLiteral("00A1B0C0FFEE"));
    d.rig.flush();
    EXPECT_EQ(d.rig.line().writes().size(), 1U);
    EXPECT_EQ(d.closes, 1);
}

TEST(DeviceDialogs, NewDeviceStartsAtTheHostAddressAndAddsTilesUntilClosed) {
    DialogRig d;
    d.rig.add("127.0.0.2", KindNetwork);
    d.answer = [](QDialog& dialog) {
        auto& form = dynamic_cast<TIPCfgForm&>(dialog);
        EXPECT_EQ(form.IPAddress->text(), QStringLiteral("198.18.0.7"));
        form.IPOKBtn->click();
        form.IPAddress->setText(QStringLiteral("127.0.0.2"));
        form.IPOKBtn->click();
        // A dot or a third digit moves on to the next part; above 255 is 255.
        form.IPAddress->part(0)->setFocus();
        for (const QChar c : QStringLiteral("127.0.7.300"))
            QTest::keyClicks(form.focusWidget(), c);
        EXPECT_EQ(form.IPAddress->text(), QStringLiteral("127.0.7.255"));
        form.IPOKBtn->click();
    };
    d.dialogs.NewDeviceItemClick();
    EXPECT_EQ(d.messages, QStringList{DeviceDialogs::AddressExistsText});
    ASSERT_EQ(d.rig.devices.size(), 3);
    EXPECT_EQ(d.rig.devices.deviceKeys(), (QStringList{"127.0.0.2", "198.18.0.7", "127.0.7.255"}));
    const DeviceTile& tile = d.rig.devices.deviceTiles()[2]; // built at once
    EXPECT_EQ(tile.addressCaption + tile.nameText + tile.macText,
              QStringLiteral("IP:Device2FF:FF:FF:FF:FF:FF"));
}

TEST(DeviceDialogs, FormsHaveTheirCaptionsAndOnlyTheCloseBoxWhereSaid) {
    TRenameFm rename;
    TMacForm mac;
    TIPCfgForm ip;
    EXPECT_EQ(rename.windowTitle() + mac.windowTitle() + ip.windowTitle(),
              QStringLiteral("RenameModify MACNew Device"));
    // Full-width colons of 16 pixels would push the last place out of sight: the font shrinks.
    EXPECT_LE(QFontMetrics(mac.MacEdit->font())
                  .horizontalAdvance(QString::fromUtf8("00：A1：B0：DD：DD：DD")),
              mac.MacEdit->width() - 8);
    for (QDialog* form : {static_cast<QDialog*>(&rename), static_cast<QDialog*>(&ip)}) {
        const Qt::WindowFlags flags = form->windowFlags();
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    }
}

} // namespace
} // namespace tq50r::devices::ui
