#include "editor/eq_editor.h"

#include "editor/axis_strips.h"
#include "editor/fader.h"
#include "editor/fader_scale.h"
#include "editor/image_button.h"
#include "editor/skin.h"
#include "editor/spin_button.h"
#include "eq/encoding.h"
#include "eq/operations.h"
#include "plot/core/main_graph.h"
#include "plot/fft_draw_widget.h"
#include "protocol/frames.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

namespace tq50r::editor {

namespace {

// Band n's column offset from band 1.
QRect bandRect(const QRect& band1, int n) {
    return band1.translated(layout::BandPitchPx * (n - 1), 0);
}

const char* const TagProperty = "Tag";

// Fonts of the panel.
constexpr int CaptionFontPx = 11;
constexpr int EditFontPx = 11;
constexpr int HoverFontPx = 11;
constexpr int HoverValueFontPx = 16;
constexpr int HoverLabelWidthPx = 64;
constexpr int HoverValueWidthPx = 120;

QFont pixelFont(int px, bool bold = false, const QString& family = QStringLiteral("DejaVu Sans")) {
    QFont f(family);
    f.setPixelSize(px);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void setBackground(QWidget* w, QRgb rgb) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, theme::color(rgb));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, QPoint at,
                  const QFont& font, QRgb rgb) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, theme::color(rgb));
    label->setPalette(pal);
    label->move(at);
    label->adjustSize();
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const QString& name, const QRect& r, const QString& tip) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(r);
    // The frequency, Q and trim boxes only display; typed text is never taken into the model.
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setAlignment(Qt::AlignCenter);
    edit->setFont(pixelFont(EditFontPx));
    edit->setMouseTracking(true);
    edit->setToolTip(tip);
    edit->setAccessibleName(tip);
    edit->setStyleSheet(QStringLiteral("QLineEdit { background: #101010; color: #d8d8d8; border: "
                                       "1px solid #555555; border-radius: 2px; padding: 0px; }"
                                       "QLineEdit:disabled { color: #606060; border-color: "
                                       "#383838; }"));
    return edit;
}

QString masterEq(int n) {
    return QStringLiteral("Master EQ%1").arg(n);
}

} // namespace

EqEditor::EqEditor(QWidget* panel2, QWidget* panel4, eq::EqSetting& setting, EqSender& sender,
                   QObject* parent)
    : QObject(parent), setting_(setting), sender_(sender), now_([] { return Clock::now(); }) {
    buildPanel4(panel4);
    buildPlotPanel(panel2);
    setUpPlot();
    faderSyncState_ = 0;
    for (int n = 1; n <= eq::BandCount; ++n) {
        updateBand(n);
    }
    trimEdit_->setText(QString::number(setting_.trimDb));
}

EqEditor::~EqEditor() = default;

// ---- construction ---------------------------------------------------------------------------

void EqEditor::buildPanel4(QWidget* panel4) {
    panel4->resize(layout::PanelWidthPx, layout::PanelHeightPx);
    setBackground(panel4, theme::PanelRgb);

    const QFont caption = pixelFont(CaptionFontPx, true);
    makeLabel(panel4, QStringLiteral("TrimCaption"), QStringLiteral("TRIM"), layout::TrimCaption,
              caption, theme::CaptionRgb);
    makeLabel(panel4, QStringLiteral("TypeCaption"), QStringLiteral("TYPE"), layout::TypeCaption,
              caption, theme::CaptionRgb);
    makeLabel(panel4, QStringLiteral("FrequencyCaption"), QStringLiteral("FREQUENCY"),
              layout::FrequencyCaption, caption, theme::CaptionRgb);
    makeLabel(panel4, QStringLiteral("QCaption"), QStringLiteral("Q"), layout::QCaption, caption,
              theme::CaptionRgb);
    makeLabel(panel4, QStringLiteral("GainCaption"), QStringLiteral("GAIN"), layout::GainCaption,
              caption, theme::CaptionRgb);

    const QPixmap thumb = faderThumbPicture();
    const QPixmap channel = faderChannelPicture();
    for (int n = 1; n <= eq::BandCount; ++n) {
        BandControls& b = bands_[static_cast<std::size_t>(n - 1)];
        const QString num = QString::number(n);

        b.scale = new FaderScale(panel4);
        b.scale->setObjectName(QStringLiteral("PaintBox%1").arg(n));
        b.scale->setGeometry(bandRect(layout::FaderScaleBox, n));

        b.image = new ImageButton(QStringLiteral("EQImage") + num,
                                  bandRect(layout::EQImage, n).size(), panel4);
        b.image->move(bandRect(layout::EQImage, n).topLeft());
        b.image->setToolTip(QStringLiteral("Band %1 on/off").arg(n));

        b.type = new ImageButton(QStringLiteral("EQType") + num, bandRect(layout::EQType, n).size(),
                                 panel4);
        b.type->move(bandRect(layout::EQType, n).topLeft());
        b.type->setToolTip(QStringLiteral("Band %1 filter type").arg(n));

        b.freqEdit =
            makeEdit(panel4, QStringLiteral("EQ%1FreqEdit").arg(n), bandRect(layout::FreqEdit, n),
                     QStringLiteral("Band %1 frequency (Hz)").arg(n));
        b.qEdit = makeEdit(panel4, QStringLiteral("EQ%1QEdit").arg(n), bandRect(layout::QEdit, n),
                           QStringLiteral("Band %1 Q").arg(n));

        b.freqButton = new TCSpinButton(panel4);
        b.freqButton->setObjectName(QStringLiteral("EQ%1FreqCButton").arg(n));
        b.freqButton->setGeometry(bandRect(layout::FreqCButton, n));
        b.freqButton->setToolTip(QStringLiteral("Band %1 frequency step").arg(n));

        b.qButton = new TCSpinButton(panel4);
        b.qButton->setObjectName(QStringLiteral("EQ%1QCButton").arg(n));
        b.qButton->setGeometry(bandRect(layout::QCButton, n));
        b.qButton->setToolTip(QStringLiteral("Band %1 Q step").arg(n));

        b.trackBar = new TPTrackBar(panel4);
        b.trackBar->setObjectName(QStringLiteral("EQ%1TrackBar").arg(n));
        b.trackBar->setGeometry(bandRect(layout::TrackBar, n));
        b.trackBar->setRange(FaderMin, FaderMax);
        b.trackBar->setPosition(0);
        b.trackBar->setLineSize(1);
        b.trackBar->setPageSize(n == 1 ? 1 : 2);
        b.trackBar->SetThumbBitmap(thumb);
        b.trackBar->SetChannelBitmap(channel);
        b.trackBar->setToolTip(QStringLiteral("Band %1 gain").arg(n));

        for (QWidget* w : std::initializer_list<QWidget*>{b.image, b.type, b.freqEdit, b.qEdit,
                                                          b.freqButton, b.qButton, b.trackBar}) {
            w->setProperty(TagProperty, n);
            if (w->accessibleName().isEmpty()) {
                w->setAccessibleName(w->toolTip());
            }
        }
        b.freqButton->setTag(n);
        b.qButton->setTag(n);
        b.trackBar->setTag(n);
    }

    // One set of handlers: each connection reads the band number from the control's tag.
    auto tagOf = [](const QObject* o) { return o->property(TagProperty).toInt(); };
    for (const BandControls& b : bands_) {
        connect(b.image, &ImageButton::clicked, this,
                [this, w = b.image, tagOf] { EQImageClick(tagOf(w)); });
        connect(b.image, &ImageButton::mouseMoved, this,
                [this, w = b.image, tagOf] { EQImage1MouseMove(tagOf(w)); });
        connect(b.type, &ImageButton::clicked, this,
                [this, w = b.type, tagOf] { EQTypeClick(tagOf(w)); });
        connect(b.type, &ImageButton::mouseMoved, this,
                [this, w = b.type, tagOf] { EQTypeMove(tagOf(w)); });
        connect(b.freqButton, &TCSpinButton::OnUpClick, this,
                [this, w = b.freqButton, tagOf] { EQFreqUpClick(tagOf(w)); });
        connect(b.freqButton, &TCSpinButton::OnDownClick, this,
                [this, w = b.freqButton, tagOf] { EQFreqDownClick(tagOf(w)); });
        connect(b.qButton, &TCSpinButton::OnUpClick, this,
                [this, w = b.qButton, tagOf] { EQQUpClick(tagOf(w)); });
        connect(b.qButton, &TCSpinButton::OnDownClick, this,
                [this, w = b.qButton, tagOf] { EQQDownClick(tagOf(w)); });
        connect(b.trackBar, &TPTrackBar::changed, this,
                [this, w = b.trackBar, tagOf](int) { EQTrkBarChange(tagOf(w)); });
        connect(
            b.trackBar, &TPTrackBar::mouseMove, this,
            [this, w = b.trackBar, tagOf](Qt::MouseButtons, QPoint) { TTrackBarMove(tagOf(w)); });
        b.freqEdit->installEventFilter(this);
        b.qEdit->installEventFilter(this);
        b.trackBar->setMouseTracking(true);
    }

    trimDecImg_ = new ImageButton(QStringLiteral("TrimDecImg"), layout::TrimDecImg.size(), panel4);
    trimDecImg_->move(layout::TrimDecImg.topLeft());
    trimDecImg_->setPicture(skinPicture(ImageList::ADImageList, TrimDecReleased), TrimDecReleased);
    trimDecImg_->setToolTip(QStringLiteral("Trim -1 dB (hold to repeat)"));
    trimDecImg_->setAccessibleName(QStringLiteral("Trim down"));

    trimAddImg_ = new ImageButton(QStringLiteral("TrimAddImg"), layout::TrimAddImg.size(), panel4);
    trimAddImg_->move(layout::TrimAddImg.topLeft());
    trimAddImg_->setPicture(skinPicture(ImageList::ADImageList, TrimAddReleased), TrimAddReleased);
    trimAddImg_->setToolTip(QStringLiteral("Trim +1 dB (hold to repeat)"));
    trimAddImg_->setAccessibleName(QStringLiteral("Trim up"));

    trimEdit_ = makeEdit(panel4, QStringLiteral("TrimEdit"), layout::TrimEdit,
                         QStringLiteral("Input trim (dB)"));
    trimEdit_->setText(QStringLiteral("0"));

    bpImage_ = new ImageButton(QStringLiteral("BPImage"), layout::BPImage.size(), panel4);
    bpImage_->move(layout::BPImage.topLeft());
    bpImage_->setPicture(skinPicture(ImageList::BPImageList, BypassPassingSetting),
                         BypassPassingSetting);
    bpImage_->setToolTip(QStringLiteral("EQ bypass"));
    bpImage_->setAccessibleName(QStringLiteral("Bypass"));

    connect(trimAddImg_, &ImageButton::mouseDown, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) {
            TrimAddDown();
        }
    });
    connect(trimAddImg_, &ImageButton::mouseUp, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) {
            TrimAddUp();
        }
    });
    connect(trimDecImg_, &ImageButton::mouseDown, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) {
            TrimDecDown();
        }
    });
    connect(trimDecImg_, &ImageButton::mouseUp, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) {
            TrimDecUp();
        }
    });
    connect(bpImage_, &ImageButton::mouseDown, this, [this](Qt::MouseButton b) {
        if (b == Qt::LeftButton) {
            BPImageMouseDown();
        }
    });

    // The first two hover fields sit only 66 and 42 pixels apart: a narrow cut keeps "Device:"
    // clear of the value beside it.
    QFont hover = pixelFont(HoverFontPx);
    hover.setStretch(QFont::SemiCondensed);
    label1_ = makeLabel(panel4, QStringLiteral("Label1"), QString(), layout::Label1, hover,
                        theme::CaptionRgb);
    label2_ = makeLabel(panel4, QStringLiteral("Label2"), QString(), layout::Label2, hover,
                        theme::CaptionRgb);
    label3_ = makeLabel(panel4, QStringLiteral("Label3"), QString(), layout::Label3,
                        pixelFont(HoverValueFontPx, true, QStringLiteral("DejaVu Serif")),
                        theme::ValueRgb);
    label1_->setFixedWidth(HoverLabelWidthPx);
    label2_->setFixedWidth(layout::Label3.x() - layout::Label2.x());
    label3_->setFixedWidth(HoverValueWidthPx);
    label1_->setAccessibleName(QStringLiteral("Hover control"));
    label2_->setAccessibleName(QStringLiteral("Hover field"));
    label3_->setAccessibleName(QStringLiteral("Hover value"));

    inputAddTimer_ = new QTimer(this);
    inputAddTimer_->setObjectName(QStringLiteral("InputAddTimer"));
    inputAddTimer_->setInterval(TrimRepeatMs);
    connect(inputAddTimer_, &QTimer::timeout, this, &EqEditor::InputAddTimerTimer);
    settleTimer_ = new QTimer(this);
    settleTimer_->setObjectName(QStringLiteral("SettlePause"));
    settleTimer_->setSingleShot(true);
    settleTimer_->setInterval(SettleMs);
    connect(settleTimer_, &QTimer::timeout, this, &EqEditor::SettleTimerTimer);
    inputDecTimer_ = new QTimer(this);
    inputDecTimer_->setObjectName(QStringLiteral("InputDecTimer"));
    inputDecTimer_->setInterval(TrimRepeatMs);
    connect(inputDecTimer_, &QTimer::timeout, this, &EqEditor::InputDecTimerTimer);
}

void EqEditor::buildPlotPanel(QWidget* panel2) {
    setBackground(panel2, theme::PanelRgb);
    plot_ = new plot::TFFTDrawWidget(panel2);
    plot_->setObjectName(QStringLiteral("FFTDraw1"));
    plot_->setGeometry(layout::Plot);
    plot_->setAccessibleName(QStringLiteral("EQ response graph"));
    plot_->setToolTip(
        QStringLiteral("Drag a numbered marker to set its band's frequency and gain"));
    plot_->setMouseTracking(true);

    // The strips lie over the graph's margins; the bottom strip over the right one and the left
    // strip over both, so that no label is covered.
    rightStrip_ = new AxisStrip(AxisStrip::Kind::Right, panel2);
    rightStrip_->move(layout::Plot.x() + layout::Plot.width() - RightStripWidthPx,
                      layout::Plot.y() - layout::StripOverhangPx);
    bottomStrip_ = new AxisStrip(AxisStrip::Kind::Bottom, panel2);
    bottomStrip_->move(layout::Plot.x(), layout::Plot.y() + layout::Plot.height());
    leftStrip_ = new AxisStrip(AxisStrip::Kind::Left, panel2);
    leftStrip_->move(layout::Plot.x(), layout::Plot.y() - layout::StripOverhangPx);
    makeLabel(panel2, QStringLiteral("DbLabel"), QStringLiteral("(dB)"), layout::DbCaption,
              pixelFont(StripFontPx), theme::CaptionRgb);

    connect(plot_, &plot::TFFTDrawWidget::mousePressed, this,
            [this](Qt::MouseButton button, QPoint pos, Qt::KeyboardModifiers) {
                FFTDrawMouseDown(button, pos.x(), pos.y());
            });
    connect(plot_, &plot::TFFTDrawWidget::mouseMoved, this,
            [this](Qt::MouseButtons, QPoint pos, Qt::KeyboardModifiers) {
                FFTDrawMouseMove(pos.x(), pos.y());
            });
    connect(plot_, &plot::TFFTDrawWidget::mouseReleased, this,
            [this](Qt::MouseButton, QPoint, Qt::KeyboardModifiers) { FFTDrawMouseUp(); });
}

void EqEditor::setUpPlot() {
    plot::configureMainWindowGraph(*plot_);
}

// ---- lookups --------------------------------------------------------------------------------

const EqEditor::BandControls& EqEditor::band(int n) const {
    return bands_.at(static_cast<std::size_t>(n - 1));
}

ImageButton* EqEditor::eqImage(int n) const {
    return band(n).image;
}
ImageButton* EqEditor::eqType(int n) const {
    return band(n).type;
}
QLineEdit* EqEditor::freqEdit(int n) const {
    return band(n).freqEdit;
}
QLineEdit* EqEditor::qEdit(int n) const {
    return band(n).qEdit;
}
TCSpinButton* EqEditor::freqCButton(int n) const {
    return band(n).freqButton;
}
TCSpinButton* EqEditor::qCButton(int n) const {
    return band(n).qButton;
}
TPTrackBar* EqEditor::trackBar(int n) const {
    return band(n).trackBar;
}

const eq::BandResponse& EqEditor::bandResponse(int n) const {
    return responses_.at(static_cast<std::size_t>(n - 1));
}

bool EqEditor::shownOff(int n) const {
    return eq::shownOff(setting_.band(n), connected());
}

bool EqEditor::isSettling() const {
    return now_() < busyUntil_;
}

int EqEditor::gainDb(int n) const {
    // The whole-dB step a fader shows, whatever half step the model holds.
    return -eq::faderPositionFromGainIndex(setting_.band(n).gainIndex);
}

// ---- display operations ---------------------------------------------------------------------

void EqEditor::showBandPictures(int n, bool off) {
    const BandControls& b = band(n);
    const int imageIndex = off ? EqOffFirstIndex + n - 1 : EqOnFirstIndex + n - 1;
    b.image->setPicture(skinPicture(ImageList::EQImageList, imageIndex), imageIndex);
    const int typeIndex = static_cast<int>(setting_.band(n).bandType());
    b.type->setPicture(skinPicture(ImageList::TypeImageList, typeIndex), typeIndex);
}

void EqEditor::showBandTexts(int n) {
    const eq::EqBand& m = setting_.band(n);
    band(n).freqEdit->setText(QString::fromStdString(eq::frequencyText(m.freqIndex)));
    band(n).qEdit->setText(QString::fromStdString(eq::qText(m.qIndex)));
}

void EqEditor::setFaderQuietly(int n, int position) {
    faderSyncState_ = 0;
    band(n).trackBar->setPosition(position);
}

void EqEditor::updateBand(int n) {
    if (n < 1 || n > eq::BandCount) {
        return;
    }
    const bool off = shownOff(n);
    showBandPictures(n, off);
    setBandControlsEnabled(n, !off);
    showBandTexts(n);
    // A device report never moves a fader out from under the hand that is dragging it: the echo
    // of an earlier position would make the thumb jump back. The next report after the drag
    // brings fader and model together.
    if (!(connected() && band(n).trackBar->isDragging())) {
        setFaderQuietly(n, eq::faderPositionFromGainIndex(setting_.band(n).gainIndex));
    }
    faderSyncState_ = 0;

    const eq::EqBand& m = setting_.band(n);
    eq::BandResponse& r = responses_[static_cast<std::size_t>(n - 1)];
    if (off) {
        r.fill(0.0);
    } else {
        eq::computeBandResponse(eq::filterKind(m.bandType()), gainDb(n),
                                eq::frequencyHz(m.freqIndex), eq::qValue(m.qIndex), r);
    }
    redrawResponse();
    faderSyncState_ = FaderSyncSent;
}

void EqEditor::redrawResponse() {
    eq::computeTotalResponse(responses_, setting_.trimDb, total_);
    for (int n = 1; n <= eq::BandCount; ++n) {
        const eq::EqBand& m = setting_.band(n);
        const double y = setting_.trimDb + gainDb(n);
        const double x = eq::markerX(eq::frequencyHz(m.freqIndex));
        const bool hidden = shownOff(n);
        // Each marker call repaints the graph page; an unchanged marker is skipped, since the
        // whole redraw of the curve below paints every marker again anyway.
        const int slot = n - 1;
        if (plot_->BlockX(slot) != x || plot_->BlockY(slot) != y ||
            plot_->BlockHidden(slot) != hidden) {
            plot_->DrawBlock(y, x, MarkerColor, slot, hidden);
        }
    }
    plot_->FFTDraw(total_.data(), eq::ResponsePointCount, CurveIndex, CurveColor,
                   plot::TPlotStyle::Line);
}

void EqEditor::applySetting(const SettingBlock& block) {
    const eq::BlockFields fields = protocol::readParameterBlock(block);
    eq::applyBlock(setting_, fields);

    trimEdit_->setText(QString::number(setting_.trimDb));
    setEditControlsEnabled(!setting_.bypass);
    const int bp = setting_.bypass ? BypassOnSetting : BypassPassingSetting;
    bpImage_->setPicture(skinPicture(ImageList::BPImageList, bp), bp);

    for (int n = 1; n <= eq::BandCount; ++n) {
        // The pictures show the decoded off flag; updateBand below settles what is shown.
        showBandPictures(n, setting_.band(n).off);
        showBandTexts(n);
        setFaderQuietly(n, eq::faderPositionFromGainIndex(setting_.band(n).gainIndex));
    }
    for (int n = 1; n <= eq::BandCount; ++n) {
        faderSyncState_ = 0;
        updateBand(n);
    }
    faderSyncState_ = FaderSyncSent;
    // Instead of blocking the thread, open a settle window: received frames are deferred by the
    // window and edits are dropped until it has passed, while the window keeps painting.
    busyUntil_ = now_() + std::chrono::milliseconds(SettleMs);
    settleTimer_->start();
    emit settleStarted();
}

void EqEditor::SettleTimerTimer() {
    settleTimer_->stop();
    emit settleEnded();
}

void EqEditor::setEditControlsEnabled(bool enabled) {
    trimAddImg_->setEnabled(enabled);
    trimDecImg_->setEnabled(enabled);
    for (const BandControls& b : bands_) {
        b.image->setEnabled(enabled);
        b.type->setEnabled(enabled);
        b.freqButton->setEnabled(enabled);
        b.qButton->setEnabled(enabled);
        b.trackBar->setEnabled(enabled);
    }
    plot_->setEnabled(enabled);
    if (!enabled) {
        // A disabled graph never sees the release of a drag in progress; without this the next
        // plain mouse move over the graph, once enabled again, would still drag the band.
        selectedBand_ = -1;
    }
}

void EqEditor::setBandControlsEnabled(int n, bool enabled) {
    if (n < 1 || n > eq::BandCount) {
        return;
    }
    const BandControls& b = band(n);
    b.type->setEnabled(enabled);
    b.freqEdit->setEnabled(enabled);
    b.qEdit->setEnabled(enabled);
    b.freqButton->setEnabled(enabled);
    b.qButton->setEnabled(enabled);
    b.trackBar->setEnabled(enabled);
}

void EqEditor::showTrim() {
    trimEdit_->setText(QString::number(setting_.trimDb));
    redrawResponse();
}

void EqEditor::showBypass() {
    const int bp = setting_.bypass ? BypassOnChange : BypassPassingChange;
    bpImage_->setPicture(skinPicture(ImageList::BPImageList, bp), bp);
    setEditControlsEnabled(!setting_.bypass);
}

void EqEditor::setHoverLine(const QString& first, const QString& second, const QString& value) {
    label1_->setText(first);
    label2_->setText(second);
    label3_->setText(value);
}

// ---- user actions ---------------------------------------------------------------------------

void EqEditor::sendBand(int n) {
    sender_.sendBand(n);
    faderSyncState_ = FaderSyncSent;
}

void EqEditor::refreshBand(int n) {
    if (connected()) {
        sendBand(n);
    } else {
        updateBand(n);
    }
}

void EqEditor::editBand(int n, eq::EditResult (*edit)(eq::EqSetting&, int)) {
    if (isSettling()) {
        return;
    }
    if (edit(setting_, n).refresh) {
        refreshBand(n);
    }
}

void EqEditor::EQTypeClick(int n) {
    editBand(n, eq::cycleType);
}

void EqEditor::EQImageClick(int n) {
    editBand(n, eq::toggleOff);
}

void EqEditor::EQFreqUpClick(int n) {
    editBand(n, eq::stepFrequencyUp);
}

void EqEditor::EQFreqDownClick(int n) {
    editBand(n, eq::stepFrequencyDown);
}

void EqEditor::EQQUpClick(int n) {
    editBand(n, eq::stepQUp);
}

void EqEditor::EQQDownClick(int n) {
    editBand(n, eq::stepQDown);
}

void EqEditor::EQTrkBarChange(int n) {
    if (n < 1 || n > eq::BandCount) {
        return;
    }
    const int position = band(n).trackBar->position();
    if (faderSyncState_ != 0 && isSettling()) {
        // A user move during the settle pause is dropped: the fader goes back to the model.
        setFaderQuietly(n, eq::faderPositionFromGainIndex(setting_.band(n).gainIndex));
        faderSyncState_ = FaderSyncSent;
        return;
    }
    const int newIndex = eq::gainIndexFromFaderPosition(position);
    eq::EqBand& m = setting_.band(n);
    if (newIndex == m.gainIndex) {
        return;
    }
    m.gainIndex = newIndex;
    if (!connected()) {
        updateBand(n);
    } else if (faderSyncState_ != 0) {
        sendBand(n);
    }
}

void EqEditor::stepTrim(int step) {
    if (!eq::stepTrim(setting_, step).changed) {
        return;
    }
    if (connected()) {
        sender_.sendTrim();
    } else {
        showTrim();
    }
}

void EqEditor::TrimAddDown() {
    if (isSettling()) {
        return;
    }
    trimAddImg_->setPicture(skinPicture(ImageList::ADImageList, TrimAddPressed), TrimAddPressed);
    // A press at the limit changes nothing and starts no repetition.
    if (setting_.trimDb < eq::MaxTrimDb) {
        stepTrim(+1);
        inputAddTimer_->start();
    }
}

void EqEditor::InputAddTimerTimer() {
    if (isSettling()) {
        return;
    }
    stepTrim(+1);
}

void EqEditor::TrimAddUp() {
    inputAddTimer_->stop();
    trimAddImg_->setPicture(skinPicture(ImageList::ADImageList, TrimAddReleased), TrimAddReleased);
}

void EqEditor::TrimDecDown() {
    if (isSettling()) {
        return;
    }
    trimDecImg_->setPicture(skinPicture(ImageList::ADImageList, TrimDecPressed), TrimDecPressed);
    if (setting_.trimDb > eq::MinTrimDb) {
        stepTrim(-1);
        inputDecTimer_->start();
    }
}

void EqEditor::InputDecTimerTimer() {
    if (isSettling()) {
        return;
    }
    stepTrim(-1);
}

void EqEditor::TrimDecUp() {
    inputDecTimer_->stop();
    trimDecImg_->setPicture(skinPicture(ImageList::ADImageList, TrimDecReleased), TrimDecReleased);
}

void EqEditor::BPImageMouseDown() {
    if (isSettling()) {
        return;
    }
    if (connected()) {
        sender_.sendBypass(!setting_.bypass);
    } else {
        eq::toggleBypass(setting_);
        showBypass();
    }
}

void EqEditor::ResetImgClick(const SettingBlock& resetBlock) {
    if (connected()) {
        faderSyncState_ = FaderSyncSent;
        sender_.sendSetting(resetBlock);
    } else {
        applySetting(resetBlock);
    }
}

// ---- graph interaction ----------------------------------------------------------------------

PlotGeometry EqEditor::plotGeometry() const {
    PlotGeometry g;
    g.widthPx = plot_->GetPlotWidth();
    g.heightPx = plot_->GetPlotHeight();
    g.xMin = plot_->XMin();
    g.xMax = plot_->XMax();
    g.yMin = plot_->YMin();
    g.yMax = plot_->YMax();
    return g;
}

std::array<MarkerState, eq::BandCount> EqEditor::markerStates() const {
    std::array<MarkerState, eq::BandCount> m{};
    for (int n = 1; n <= eq::BandCount; ++n) {
        MarkerState& ms = m[static_cast<std::size_t>(n - 1)];
        ms.markerXUnits =
            static_cast<int>(eq::markerX(eq::frequencyHz(setting_.band(n).freqIndex)));
        ms.gainDb = gainDb(n);
        ms.hidden = shownOff(n);
    }
    return m;
}

void EqEditor::FFTDrawMouseDown(Qt::MouseButton button, int xPx, int yPx) {
    selectedBand_ = -1;
    plot_->setCursor(Qt::ArrowCursor);
    if (isSettling() || button != Qt::LeftButton) {
        return;
    }
    selectedBand_ = grabbedBand(plotGeometry(), markerStates(), setting_.trimDb, xPx, yPx);
}

void EqEditor::FFTDrawMouseMove(int xPx, int yPx) {
    const PlotGeometry g = plotGeometry();
    if (selectedBand_ < 0) {
        const int hovered = hoveredBand(g, markerStates(), setting_.trimDb, xPx, yPx);
        plot_->setCursor(hovered >= 0 ? Qt::CrossCursor : Qt::ArrowCursor);
        return;
    }
    if (isSettling()) {
        return;
    }
    const int s = selectedBand_ + 1;
    const DragTarget t = dragTarget(g, setting_.trimDb, xPx, yPx);
    label1_->setText(masterEq(s));
    label3_->setText(QStringLiteral("%1dB").arg(t.gainDb));
    // A shelf band that would cross 1000 Hz is held there and still refreshed (or sent), so the
    // display, the model and the device never disagree.
    if (eq::setFromPlot(setting_, s, t.hz, t.gainDb).refresh) {
        refreshBand(s);
    }
}

void EqEditor::FFTDrawMouseUp() {
    selectedBand_ = -1;
}

// ---- hover line -----------------------------------------------------------------------------

void EqEditor::EQTypeMove(int n) {
    const std::string_view name = eq::typeName(setting_.band(n).bandType());
    setHoverLine(masterEq(n), QStringLiteral("Type:"),
                 QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
}

void EqEditor::FreqEditMove(int n) {
    setHoverLine(masterEq(n), QStringLiteral("Freq:"),
                 band(n).freqEdit->text() + QStringLiteral("Hz"));
}

void EqEditor::QEditMove(int n) {
    setHoverLine(masterEq(n), QStringLiteral("Q:"), band(n).qEdit->text());
}

void EqEditor::TTrackBarMove(int n) {
    setHoverLine(masterEq(n), QStringLiteral("Gain:"),
                 QStringLiteral("%1dB").arg(-band(n).trackBar->position()));
}

void EqEditor::EQImage1MouseMove(int n) {
    setHoverLine(masterEq(n), QString(),
                 shownOff(n) ? QStringLiteral("Off") : QStringLiteral("On"));
}

bool EqEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
        const int n = watched->property(TagProperty).toInt();
        for (const BandControls& b : bands_) {
            if (watched == b.freqEdit) {
                FreqEditMove(n);
            } else if (watched == b.qEdit) {
                QEditMove(n);
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tq50r::editor
