// The small dialogs of the device list: rename a device (TRenameFm), change its MAC address
// (TMacForm) and add a network device by its IPv4 address (TIPCfgForm). They only hold and check
// what is typed; what their OK buttons do is bound by whoever opens them (DeviceDialogs).
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tq50r::devices::ui {

class TRenameFm : public QDialog {
    Q_OBJECT
public:
    // Typing stops at this many characters; a pasted name is cut to what a Rename frame carries.
    static constexpr int NameTypingLimit = 12;

    explicit TRenameFm(QWidget* owner = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* NameEdit = nullptr;
    QPushButton* OKBtn = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cutToNameField();
};

class TMacForm : public QDialog {
    Q_OBJECT
public:
    // The fixed first half of every MAC the dialog writes, and the places typed after it.
    static inline const QString FixedMacPart = QStringLiteral("00A1B0");
    static constexpr int TypedDigits = 6;

    explicit TMacForm(QWidget* owner = nullptr);

    // Only the characters typed into the three places, without the fixed parts.
    QString typedText() const;
    // Fills the places with the first six of `digits` (hexadecimal).
    void setTypedText(const QString& digits);

    QLineEdit* MacEdit = nullptr;
    QPushButton* MacOkBtn = nullptr;
};

// An IPv4 address field of four parts of 0..255, read and written as dotted text. A part left
// empty reads as 0.
class TIPAddressEdit : public QWidget {
    Q_OBJECT
public:
    static constexpr int PartCount = 4;
    static constexpr int PartMax = 255;

    explicit TIPAddressEdit(QWidget* parent = nullptr);

    // "a.b.c.d", most significant part first.
    QString text() const;
    // Text that is not a dotted IPv4 address leaves every part empty.
    void setText(const QString& dotted);
    // The address in host byte order, first part in the most significant byte.
    void setAddress(std::uint32_t address);
    QLineEdit* part(int i) const { return parts_[static_cast<std::size_t>(i)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void partEdited(int i);

    std::array<QLineEdit*, PartCount> parts_{};
};

class TIPCfgForm : public QDialog {
    Q_OBJECT
public:
    explicit TIPCfgForm(QWidget* owner = nullptr);

    TIPAddressEdit* IPAddress = nullptr;
    QPushButton* IPOKBtn = nullptr;
};

} // namespace tq50r::devices::ui
