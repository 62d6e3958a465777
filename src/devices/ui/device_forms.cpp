#include "devices/ui/device_forms.h"

#include "protocol/frames.h"
#include "widgets/bold_label.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <string_view>

namespace tq50r::devices::ui {

namespace {

// Room left right of and below the controls when a form is sized to its content.
constexpr int FormMarginPx = 16;

// Rename dialog.
constexpr QPoint RenameLabelPos{48, 8};
constexpr QRect NameEditRect{16, 32, 121, 21};
constexpr QRect RenameOkRect{152, 32, 41, 17};

// MAC dialog. The field shows 00：A1：B0： and three places of two characters, each joined by a
// full-width colon; it takes hexadecimal digits only and shows them in upper case.
constexpr QPoint MacLabelPos{56, 0};
constexpr QPoint MacHintPos{24, 64};
constexpr QRect MacOkRect{152, 64, 49, 17};
constexpr QRect MacEditRect{24, 16, 177, 28};
constexpr int MacFontPx = 16;
constexpr int MacMinFontPx = 9;
constexpr QChar MacColon{0xFF1A};
constexpr int MacPlaceDigits = 2;
// Where a line edit starts its text inside its contents.
constexpr int MacTextInsetPx = 2;

// New-device dialog.
constexpr QPoint HostIpLabelPos{72, 16};
constexpr QRect IpOkRect{184, 40, 49, 25};
constexpr QRect IpAddressRect{30, 38, 121, 24};

// The IPv4 field: four parts and the dots between them, inside a sunken frame.
constexpr int IpInsetPx = 2;
constexpr int IpPartWidthPx = 24;
constexpr int IpDotWidthPx = 7;
constexpr int IpPartDigits = 3;
constexpr unsigned ByteBits = 8;
constexpr std::uint32_t ByteMask = 0xFFu;

// Caption, icon and the title-bar buttons of a device dialog; the panel that holds its controls.
QFrame* beginForm(QDialog& form, const char* name, const QString& caption, bool closeBoxOnly) {
    form.setObjectName(QString::fromLatin1(name));
    form.setWindowTitle(caption);
    form.setWindowIcon(QApplication::windowIcon());
    if (closeBoxOnly)
        form.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowCloseButtonHint);
    auto* panel = new QFrame(&form);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    return panel;
}

// The form takes the size of its controls plus a margin; the panel fills it.
void fitToContent(QDialog& form, QFrame& panel) {
    const QRect used = panel.childrenRect();
    form.setFixedSize(used.right() + 1 + FormMarginPx, used.bottom() + 1 + FormMarginPx);
    panel.setGeometry(form.rect());
}

// Enter in a field never presses these buttons by itself.
QPushButton* makeButton(const char* name, const QString& text, const QRect& rect, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(rect);
    button->setAutoDefault(false);
    return button;
}

QString macFixedDisplay() {
    const QString& f = TMacForm::FixedMacPart;
    return f.mid(0, MacPlaceDigits) + MacColon + f.mid(MacPlaceDigits, MacPlaceDigits) + MacColon +
           f.mid(2 * MacPlaceDigits, MacPlaceDigits) + MacColon;
}

// The field's 16-pixel font, or a smaller one where the full-width colons of that size would push
// the last place out of sight.
QFont macFont(QFont font, int textWidthPx) {
    static const QString HexDigits = QStringLiteral("0123456789ABCDEF");
    for (int px = MacFontPx; px > MacMinFontPx; --px) {
        font.setPixelSize(px);
        const QFontMetrics metrics(font);
        int widestDigit = 0;
        for (const QChar c : HexDigits)
            widestDigit = std::max(widestDigit, metrics.horizontalAdvance(c));
        const int placesPx =
            TMacForm::TypedDigits * widestDigit +
            (TMacForm::TypedDigits / MacPlaceDigits - 1) * metrics.horizontalAdvance(MacColon) +
            metrics.horizontalAdvance(QLatin1Char(' ')); // room for the cursor
        if (metrics.horizontalAdvance(macFixedDisplay()) + placesPx <= textWidthPx)
            break;
    }
    return font;
}

// The MAC field: the fixed part is drawn in the left text margin, on the line the field draws its
// own text on, out of the cursor's reach: a typed 0, A, 1 or B is never taken for one of the fixed
// characters, and only the places can be edited.
class MacMaskEdit : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

protected:
    void paintEvent(QPaintEvent* event) override {
        QLineEdit::paintEvent(event);
        QStyleOptionFrame panel;
        initStyleOption(&panel);
        const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
        // On the field's own baseline: its line is centred at the height of its text (whose
        // colons come from a taller fallback font) and the baseline is its font's ascent below.
        const QFontMetrics metrics = fontMetrics();
        const int lineHeight = std::max(metrics.boundingRect(text()).height(), metrics.height());
        const int baseline =
            contents.top() + (contents.height() - lineHeight + 1) / 2 + metrics.ascent();
        QPainter painter(this);
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
        painter.drawText(QPoint(contents.left() + MacTextInsetPx, baseline), macFixedDisplay());
    }
};

} // namespace

// ---- rename ---------------------------------------------------------------------------------

TRenameFm::TRenameFm(QWidget* owner) : QDialog(owner) {
    QFrame* panel = beginForm(*this, "RenameFm", QStringLiteral("Rename"), true);
    Label1 = widgets::boldLabel(QStringLiteral("Input a name"), RenameLabelPos, panel);
    Label1->setObjectName(QStringLiteral("Label1"));
    NameEdit = new QLineEdit(panel);
    NameEdit->setObjectName(QStringLiteral("NameEdit"));
    NameEdit->setGeometry(NameEditRect);
    NameEdit->installEventFilter(this);
    OKBtn = makeButton("OKBtn", QStringLiteral("OK"), RenameOkRect, panel);
    fitToContent(*this, *panel);

    connect(NameEdit, &QLineEdit::returnPressed, OKBtn, &QPushButton::click);
    connect(NameEdit, &QLineEdit::textChanged, this, &TRenameFm::cutToNameField);
}

bool TRenameFm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == NameEdit && event->type() == QEvent::KeyPress) {
        // Enter, Backspace and keys that type no character always go through.
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (!typed.isEmpty() && typed.front().isPrint() &&
            NameEdit->text().size() >= NameTypingLimit)
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TRenameFm::cutToNameField() {
    const QByteArray utf8 = NameEdit->text().toUtf8();
    const std::size_t keep =
        protocol::nameFieldLength(std::string_view(utf8.constData(), utf8.size()));
    if (keep < static_cast<std::size_t>(utf8.size()))
        NameEdit->setText(QString::fromUtf8(utf8.left(static_cast<qsizetype>(keep))));
}

// ---- MAC ------------------------------------------------------------------------------------

TMacForm::TMacForm(QWidget* owner) : QDialog(owner) {
    QFrame* panel = beginForm(*this, "MacForm", QStringLiteral("Modify MAC"), false);
    widgets::boldLabel(QStringLiteral("Input Mac Address"), MacLabelPos, panel);
    auto* hint = new QLabel(QStringLiteral("(0-9,a-f,A-F)"), panel);
    hint->move(MacHintPos);
    hint->adjustSize();
    MacOkBtn = makeButton("MacOkBtn", QStringLiteral("Ok"), MacOkRect, panel);
    MacEdit = new MacMaskEdit(panel);
    MacEdit->setObjectName(QStringLiteral("MacEdit"));
    MacEdit->setGeometry(MacEditRect);
    const int frame = MacEdit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, MacEdit);
    const QFont font = macFont(MacEdit->font(), MacEditRect.width() - 2 * (frame + MacTextInsetPx));
    MacEdit->setFont(font);
    // '>' shows what follows in upper case; H takes a hexadecimal digit.
    const QString place = QStringLiteral("HH");
    MacEdit->setInputMask(QStringLiteral(">") + place + MacColon + place + MacColon + place);
    // Room for the fixed part ahead of the places.
    MacEdit->setTextMargins(QFontMetrics(font).horizontalAdvance(macFixedDisplay()), 0, 0, 0);
    fitToContent(*this, *panel);
}

QString TMacForm::typedText() const {
    return MacEdit->text().remove(MacColon);
}

void TMacForm::setTypedText(const QString& digits) {
    MacEdit->setText(digits.left(TypedDigits));
}

// ---- IPv4 field -----------------------------------------------------------------------------

TIPAddressEdit::TIPAddressEdit(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("IPAddress"));
    int x = IpInsetPx;
    for (int i = 0; i < PartCount; ++i) {
        if (i > 0) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            dot->setGeometry(x, IpInsetPx, IpDotWidthPx, IpAddressRect.height() - 2 * IpInsetPx);
            x += IpDotWidthPx;
        }
        auto* part = new QLineEdit(this);
        part->setObjectName(QStringLiteral("IPPart%1").arg(i + 1));
        part->setFrame(false);
        part->setAlignment(Qt::AlignCenter);
        part->setMaxLength(IpPartDigits);
        part->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9]{0,3}")), part));
        part->setGeometry(x, IpInsetPx, IpPartWidthPx, IpAddressRect.height() - 2 * IpInsetPx);
        part->installEventFilter(this);
        connect(part, &QLineEdit::textEdited, this, [this, i] { partEdited(i); });
        parts_[static_cast<std::size_t>(i)] = part;
        x += IpPartWidthPx;
    }
}

QString TIPAddressEdit::text() const {
    QStringList numbers;
    for (const QLineEdit* part : parts_)
        numbers << QString::number(part->text().isEmpty() ? 0 : part->text().toInt());
    return numbers.join(QLatin1Char('.'));
}

void TIPAddressEdit::setText(const QString& dotted) {
    static const QRegularExpression Dotted(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const QRegularExpressionMatch match = Dotted.match(dotted);
    bool valid = match.hasMatch();
    for (int i = 1; valid && i <= PartCount; ++i)
        valid = match.captured(i).toInt() <= PartMax;
    for (int i = 0; i < PartCount; ++i)
        parts_[static_cast<std::size_t>(i)]->setText(
            valid ? QString::number(match.captured(i + 1).toInt()) : QString());
}

void TIPAddressEdit::setAddress(std::uint32_t address) {
    for (int i = 0; i < PartCount; ++i) {
        const unsigned shift = ByteBits * static_cast<unsigned>(PartCount - 1 - i);
        parts_[static_cast<std::size_t>(i)]->setText(
            QString::number((address >> shift) & ByteMask));
    }
}

void TIPAddressEdit::partEdited(int i) {
    QLineEdit* part = parts_[static_cast<std::size_t>(i)];
    if (part->text().toInt() > PartMax)
        part->setText(QString::number(PartMax));
    // A full part moves on to the next one.
    if (part->text().size() == IpPartDigits && i + 1 < PartCount) {
        QLineEdit* next = parts_[static_cast<std::size_t>(i + 1)];
        next->setFocus();
        next->selectAll();
    }
}

void TIPAddressEdit::paintEvent(QPaintEvent*) {
    // Framed like a line edit: the four parts read as one field.
    QPainter painter(this);
    QStyleOptionFrame panel;
    panel.initFrom(this);
    panel.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &panel, this);
    panel.state |= QStyle::State_Sunken;
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
}

bool TIPAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->text() == QStringLiteral(".")) {
        // A dot ends a part that holds a number (so "127." after an automatic move does not
        // skip a part) and moves on to the next one.
        for (int i = 0; i + 1 < PartCount; ++i) {
            if (watched == parts_[static_cast<std::size_t>(i)] &&
                !parts_[static_cast<std::size_t>(i)]->text().isEmpty()) {
                parts_[static_cast<std::size_t>(i + 1)]->setFocus();
                parts_[static_cast<std::size_t>(i + 1)]->selectAll();
            }
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- new device -----------------------------------------------------------------------------

TIPCfgForm::TIPCfgForm(QWidget* owner) : QDialog(owner) {
    QFrame* panel = beginForm(*this, "IPCfgForm", QStringLiteral("New Device"), true);
    widgets::boldLabel(QStringLiteral("Input Host IP"), HostIpLabelPos, panel);
    IPOKBtn = makeButton("IPOKBtn", QStringLiteral("OK"), IpOkRect, panel);
    IPAddress = new TIPAddressEdit(panel);
    IPAddress->setGeometry(IpAddressRect);
    fitToContent(*this, *panel);
}

} // namespace tq50r::devices::ui
