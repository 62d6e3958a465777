#include "app/about_box.h"

#include "widgets/bold_label.h"
#include "widgets/link_label.h"

#include <QApplication>
#include <QDirIterator>
#include <QFrame>
#include <QIconEngine>
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

// The icon's pictures are read when a picture of it is first asked for (by the desktop, or the
// About box), not when the icon is made: reading every size cost the start-up more than any
// control of the window. Until then it answers from the list of files alone.
class IconOnDemand final : public QIconEngine {
public:
    explicit IconOnDemand(QStringList files) : files_(std::move(files)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal) override {
        return pixmap(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return files_.isEmpty(); }
    QString key() const override { return QStringLiteral("tq50r-on-demand"); }
    QIconEngine* clone() const override { return new IconOnDemand(files_); }

private:
    const QIcon& icon() {
        if (!read_) {
            read_ = true;
            for (const QString& file : files_)
                icon_.addFile(file);
        }
        return icon_;
    }

    QStringList files_;
    QIcon icon_;
    bool read_ = false;
};

} // namespace

QIcon applicationIcon() {
    QStringList files;
    QDirIterator pngs(IconResourceDir, {QStringLiteral("*.png")}, QDir::Files,
                      QDirIterator::Subdirectories);
    while (pngs.hasNext())
        files << pngs.next();
    return QIcon(new IconOnDemand(std::move(files)));
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
