#include "app/about_box.h"

#include "widgets/bold_label.h"
#include "widgets/icon_on_demand.h"
#include "widgets/link_label.h"

#include <QApplication>
#include <QDirIterator>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

namespace tq50r::app {

namespace {

constexpr int VersionLength = 5;
constexpr int BoxWidthPx = 313;
constexpr int BoxHeightPx = 148;
constexpr int PanelMarginPx = 4;
constexpr int PanelWidthPx = 305;
constexpr int PanelHeightPx = 121;
constexpr QRect LogoRect{16, 8, 81, 57};
constexpr QPoint NameCaptionPos{112, 8};
constexpr QPoint NamePos{200, 8};
constexpr QPoint VersionCaptionPos{112, 32};
constexpr QPoint VersionPos{171, 32};
constexpr QPoint NoticePos{112, 56};
constexpr QRect UrlRect{110, 100, 108, 13};
constexpr QRect OkRect{232, 72, 57, 25};
// The box is laid out for a small, narrow 11-pixel sans font; the labels' fixed positions need it.
constexpr int BoxFontPx = 11;

const QString ProductName = QStringLiteral("TQ50R");
const QString NoticeText = QStringLiteral("Loudspeaker processor control");
const QString MakerAddress = QStringLiteral("https://www.example.com/");

// Where the build puts the rendered application icon, one PNG per size.
const QString IconResourceDir = QStringLiteral(":/icons/hicolor");

using widgets::boldLabel;

} // namespace

QIcon applicationIcon() {
    // The pictures are read when one is first asked for (by the desktop, or the About box): reading
    // every size cost the start-up more than any control of the window. The files are listed
    // without a name filter, which would compile a regular expression.
    QStringList files;
    QDirIterator pictures(IconResourceDir, QDir::Files, QDirIterator::Subdirectories);
    while (pictures.hasNext()) {
        const QString file = pictures.next();
        if (file.endsWith(QLatin1String(".png")))
            files << file;
    }
    const bool none = files.isEmpty();
    return QIcon(new widgets::IconOnDemand(
        [files = std::move(files)] {
            QIcon icon;
            for (const QString& file : files)
                icon.addFile(file);
            return icon;
        },
        none));
}

QString versionFromTitle(const QString& title) {
    return title.right(VersionLength);
}

TfmAbout::TfmAbout(const QString& title, QWidget* parent) : QDialog(parent), title_(title) {
    setObjectName(QStringLiteral("fmAbout"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(BoxWidthPx, BoxHeightPx);
    QFont boxFont(QStringLiteral("DejaVu Sans"));
    boxFont.setStyleHint(QFont::SansSerif);
    boxFont.setPixelSize(BoxFontPx);
    boxFont.setStretch(QFont::SemiCondensed);
    setFont(boxFont);

    panel_ = new QFrame(this);
    panel_->setObjectName(QStringLiteral("Panel1"));
    panel_->setFrameShape(QFrame::Panel);
    panel_->setFrameShadow(QFrame::Raised);
    panel_->setGeometry(PanelMarginPx, PanelMarginPx, PanelWidthPx, PanelHeightPx);

    auto* logo = new QLabel(panel_);
    logo->setObjectName(QStringLiteral("Image1"));
    logo->setGeometry(LogoRect);
    // The application icon, square and centred in the logo's place.
    logo->setAlignment(Qt::AlignCenter);
    logo->setPixmap(applicationIcon().pixmap(LogoRect.height()));
    logo->setAccessibleName(QStringLiteral("Product logo"));

    boldLabel(QStringLiteral("Product Name:"), NameCaptionPos, panel_);
    auto* name = boldLabel(ProductName, NamePos, panel_);
    name->setObjectName(QStringLiteral("ProductLabel"));
    boldLabel(QStringLiteral("Version:"), VersionCaptionPos, panel_);
    verLb_ = boldLabel(QString(), VersionPos, panel_);
    verLb_->setObjectName(QStringLiteral("verLb"));
    verLb_->setAccessibleName(QStringLiteral("Version"));
    boldLabel(NoticeText, NoticePos, panel_);

    urlLabel_ = new widgets::TUnlURLLabel(panel_);
    urlLabel_->setObjectName(QStringLiteral("UnlURLLabel1"));
    urlLabel_->setGeometry(UrlRect);
    urlLabel_->setText(MakerAddress);
    urlLabel_->setAttribute(Qt::WA_TranslucentBackground);
    urlLabel_->hide();
    connect(urlLabel_, &widgets::TUnlURLLabel::OnClick, this, &TfmAbout::UnlURLLabel1Click);

    button1_ = new QPushButton(QStringLiteral("OK"), panel_);
    button1_->setObjectName(QStringLiteral("Button1"));
    button1_->setGeometry(OkRect);
    connect(button1_, &QPushButton::clicked, this, &TfmAbout::Button1Click);

    FormCreate();
}

void TfmAbout::FormCreate() {
    setWindowTitle(QStringLiteral("About"));
    button1_->hide();
    setWindowIcon(QApplication::windowIcon());
}

void TfmAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfmAbout::FormShow() {
    verLb_->setText(versionFromTitle(title_));
    verLb_->adjustSize();
}

void TfmAbout::Button1Click() {
    close();
}

void TfmAbout::UnlURLLabel1Click() {
    urlLabel_->SetURL(urlLabel_->text());
}

} // namespace tq50r::app
