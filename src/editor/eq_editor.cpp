#include "editor/eq_editor.h"

#include "editor/axis_strips.h"
#include "editor/fader.h"
#include "editor/fader_scale.h"
#include "editor/image_button.h"
#include "editor/skin.h"
#include "editor/spin_button.h"
#include "eq/encoding.h"
#include "eq/operations.h"
#include "platform/clock_timer.h"
#include "plot/core/main_graph.h"
#include "plot/fft_draw_widget.h"
#include "protocol/frames.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

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
constexpr int GainReadoutFontPx = 10;
// One notch of an ordinary mouse wheel.
constexpr int WheelNotch = 120;

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

// A label at `at` in `font` and the colour `rgb`, not yet sized.
QLabel* placeLabel(QWidget* parent, const QString& name, const QString& text, QPoint at,
                   const QFont& font, QRgb rgb) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, theme::color(rgb));
    label->setPalette(pal);
    label->move(at);
    return label;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, QPoint at,
                  const QFont& font, QRgb rgb) {
    QLabel* label = placeLabel(parent, name, text, at, font, rgb);
    label->adjustSize();
    return label;
}

// A label of the hover line: makeLabel's, but sized when it first shows a text.
QLabel* makeHoverLabel(QWidget* parent, const QString& name, QPoint at, const QFont& font,
                       QRgb rgb) {
    QLabel* label = placeLabel(parent, name, QString(), at, font, rgb);
    // Given a size, so that showing it does not size it from its font yet.
    label->resize(0, 0);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const QString& name, const QRect& r, const QString& tip) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(r);
    // Only the frequency and Q boxes take typed values (EqEditor makes them editable).
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setAlignment(Qt::AlignCenter);
    edit->setFont(pixelFont(EditFontPx));
    edit->setMouseTracking(true);
    edit->setToolTip(tip);
    edit->setAccessibleName(tip);
    edit->setStyleSheet(QStringLiteral("QLineEdit { background: #101010; color: #d8d8d8; border: "
                                       "1px solid #555555; border-radius: 2px; padding: 0px; }"
                                       "QLineEdit:focus { border: 2px solid #2fc9c0; }"
                                       "QLineEdit:disabled { color: #606060; border-color: "
                                       "#383838; }"));
    return edit;
}

QString masterEq(int n) {
    return QStringLiteral("Master EQ%1").arg(n);
}

QString gainText(int gainDb) {
    return gainDb > 0 ? QStringLiteral("+%1 dB").arg(gainDb) : QStringLiteral("%1 dB").arg(gainDb);
}

// Whole wheel notches of a wheel event, collected across the partial deltas of smooth wheels.
// Some platforms turn a wheel with Shift held into a horizontal one.
int wheelNotches(const QWheelEvent& event, int& remainder) {
    const QPoint delta = event.angleDelta();
    remainder += delta.y() != 0 ? delta.y() : delta.x();
    const int notches = remainder / WheelNotch;
    remainder -= notches * WheelNotch;
    return notches;
}

} // namespace

EqEditor::EqEditor(QWidget* panel2, QWidget* panel4, eq::EqSetting& setting, EqSender& sender,
                   QObject* parent, platform::TimerClock* clock)
    : QObject(parent), setting_(setting), sender_(sender) {
    buildPanel4(panel4, clock);
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

void EqEditor::buildPanel4(QWidget* panel4, platform::TimerClock* clock) {
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
        for (QLineEdit* e : {b.freqEdit, b.qEdit}) {
            e->setReadOnly(false);
            e->setFocusPolicy(Qt::StrongFocus);
            e->setToolTip(e->toolTip() + QStringLiteral(": type a value and press Enter, or use "
                                                        "the wheel (Shift: ten steps)"));
        }

        b.gainReadout = makeLabel(panel4, QStringLiteral("EQ%1GainReadout").arg(n), QString(),
                                  bandRect(layout::GainReadout, n).topLeft(),
                                  pixelFont(GainReadoutFontPx, true), theme::TextRgb);
        b.gainReadout->setFixedSize(layout::GainReadout.size());
        b.gainReadout->setAlignment(Qt::AlignCenter);
        b.gainReadout->setAccessibleName(QStringLiteral("Band %1 gain readout").arg(n));
        // It lies over the fader's empty lowest rows; the fader keeps the mouse there.
        b.gainReadout->setAttribute(Qt::WA_TransparentForMouseEvents);

        b.freqButton = new TCSpinButton(panel4, clock);
        b.freqButton->setObjectName(QStringLiteral("EQ%1FreqCButton").arg(n));
        b.freqButton->setGeometry(bandRect(layout::FreqCButton, n));
        b.freqButton->setToolTip(QStringLiteral("Band %1 frequency step").arg(n));

        b.qButton = new TCSpinButton(panel4, clock);
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
        connect(b.trackBar, &TPTrackBar::userChanged, this,
                [this, w = b.trackBar, tagOf](int) { TTrackBarMove(tagOf(w)); });
        connect(b.trackBar, &TPTrackBar::editStarted, this, &EqEditor::beginEdit);
        connect(b.trackBar, &TPTrackBar::editFinished, this, &EqEditor::endEdit);
        connect(b.freqEdit, &QLineEdit::editingFinished, this,
                [this, w = b.freqEdit, tagOf] { FreqEditExit(tagOf(w)); });
        connect(b.qEdit, &QLineEdit::editingFinished, this,
                [this, w = b.qEdit, tagOf] { QEditExit(tagOf(w)); });
        b.freqButton->installEventFilter(this);
        b.qButton->installEventFilter(this);
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
    // clear of the value beside it. The hover line shows nothing until the pointer first rests on
    // a control: the labels take the height of their fonts' lines then (showHoverTexts), so that
    // their fonts (a narrow cut and a large serif) are not loaded at start-up.
    QFont hover = pixelFont(HoverFontPx);
    hover.setStretch(QFont::SemiCondensed);
    label1_ =
        makeHoverLabel(panel4, QStringLiteral("Label1"), layout::Label1, hover, theme::CaptionRgb);
    label2_ =
        makeHoverLabel(panel4, QStringLiteral("Label2"), layout::Label2, hover, theme::CaptionRgb);
    label3_ = makeHoverLabel(panel4, QStringLiteral("Label3"), layout::Label3,
                             pixelFont(HoverValueFontPx, true, QStringLiteral("DejaVu Serif")),
                             theme::ValueRgb);
    label1_->setFixedWidth(HoverLabelWidthPx);
    label2_->setFixedWidth(layout::Label3.x() - layout::Label2.x());
    label3_->setFixedWidth(HoverValueWidthPx);
    label1_->setAccessibleName(QStringLiteral("Hover control"));
    label2_->setAccessibleName(QStringLiteral("Hover field"));
    label3_->setAccessibleName(QStringLiteral("Hover value"));

    inputAddTimer_ = new platform::ClockTimer(this, clock);
    inputAddTimer_->setObjectName(QStringLiteral("InputAddTimer"));
    inputAddTimer_->setInterval(TrimRepeatMs);
    connect(inputAddTimer_, &platform::ClockTimer::timeout, this, &EqEditor::InputAddTimerTimer);
    settleTimer_ = new platform::ClockTimer(this, clock);
    settleTimer_->setObjectName(QStringLiteral("SettlePause"));
    settleTimer_->setSingleShot(true);
    settleTimer_->setInterval(SettleMs);
    connect(settleTimer_, &platform::ClockTimer::timeout, this, &EqEditor::SettleTimerTimer);
    inputDecTimer_ = new platform::ClockTimer(this, clock);
    inputDecTimer_->setObjectName(QStringLiteral("InputDecTimer"));
    inputDecTimer_->setInterval(TrimRepeatMs);
    connect(inputDecTimer_, &platform::ClockTimer::timeout, this, &EqEditor::InputDecTimerTimer);

    // Tab follows the panel in reading order: the trim and bypass row, then row by row across
    // the five bands, the faders last.
    std::vector<QWidget*> order{trimDecImg_, trimAddImg_, bpImage_};
    for (auto field : {&BandControls::image, &BandControls::type}) {
        for (const BandControls& b : bands_) {
            order.push_back(b.*field);
        }
    }
    for (const BandControls& b : bands_) {
        order.insert(order.end(), {b.freqEdit, b.freqButton});
    }
    for (const BandControls& b : bands_) {
        order.insert(order.end(), {b.qEdit, b.qButton});
    }
    for (const BandControls& b : bands_) {
        order.push_back(b.trackBar);
    }
    for (std::size_t i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
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
    // The graph takes the keyboard for its markers (Tab reaches it; a click does not move focus).
    plot_->setFocusPolicy(Qt::TabFocus);
    plot_->setFocusFrameColor(theme::color(theme::AccentRgb));
    plot_->installEventFilter(this);

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
QLabel* EqEditor::gainReadout(int n) const {
    return band(n).gainReadout;
}

EqEditor::BandControls& EqEditor::bandAt(int n) {
    return bands_.at(static_cast<std::size_t>(n - 1));
}

const eq::BandResponse& EqEditor::bandResponse(int n) const {
    return responses_.at(static_cast<std::size_t>(n - 1));
}

bool EqEditor::shownOff(int n) const {
    return eq::shownOff(setting_.band(n), connected());
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
    BandControls& b = bandAt(n);
    b.shownFreq = QString::fromStdString(eq::frequencyText(m.freqIndex));
    b.shownQ = QString::fromStdString(eq::qText(m.qIndex));
    // A box the user is typing into keeps the typing; it shows the value when it is left.
    for (auto [edit, text] : {std::pair{b.freqEdit, b.shownFreq}, std::pair{b.qEdit, b.shownQ}}) {
        if (!(edit->hasFocus() && edit->isModified())) {
            edit->setText(text);
        }
    }
}

void EqEditor::showGainReadout(int n) {
    const QString text = gainText(-band(n).trackBar->position());
    if (band(n).gainReadout->text() != text) {
        band(n).gainReadout->setText(text);
    }
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
    showGainReadout(n);

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
    refreshHover(n);
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
    // window until it has passed, while the window keeps painting and taking the user's edits.
    settling_ = true;
    settleTimer_->start();
    emit settleStarted();
}

void EqEditor::applyOpenedSetting(const SettingBlock& block) {
    const eq::EqSetting before = setting_;
    applySetting(block);
    recordEdit(before, setting_);
}

void EqEditor::noteSettingSent(const SettingBlock& block) {
    eq::EqSetting after = setting_;
    eq::applyBlock(after, protocol::readParameterBlock(block));
    recordEdit(setting_, after);
}

void EqEditor::SettleTimerTimer() {
    settleTimer_->stop();
    settling_ = false;
    // What the user did meanwhile goes out now, before the held reports are shown.
    const std::vector<PendingSend> held = std::exchange(pending_, {});
    for (const PendingSend& p : held) {
        send(p);
    }
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
    // Typed values are not taken while the EQ is bypassed.
    for (const BandControls& b : bands_) {
        b.freqEdit->setReadOnly(!enabled);
        b.qEdit->setReadOnly(!enabled);
    }
    if (!enabled) {
        // A disabled graph never sees the release of a drag in progress; without this the next
        // plain mouse move over the graph, once enabled again, would still drag the band.
        FFTDrawMouseUp();
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
    hover_ = Hover{HoverKind::Other, 0, 0};
    showHoverTexts(first, second, value);
}

void EqEditor::showHoverTexts(const QString& first, const QString& second, const QString& value) {
    if (!hoverSized_) {
        hoverSized_ = true;
        for (QLabel* label : {label1_, label2_, label3_}) {
            label->adjustSize();
        }
    }
    label1_->setText(first);
    label2_->setText(second);
    label3_->setText(value);
}

void EqEditor::showHover() {
    const int n = hover_.band;
    QString second;
    QString value;
    switch (hover_.kind) {
    case HoverKind::None:
    case HoverKind::Other:
        return;
    case HoverKind::Type: {
        const std::string_view name = eq::typeName(setting_.band(n).bandType());
        second = QStringLiteral("Type:");
        value = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
        break;
    }
    case HoverKind::Freq:
        second = QStringLiteral("Freq:");
        value = band(n).freqEdit->text() + QStringLiteral("Hz");
        break;
    case HoverKind::Q:
        second = QStringLiteral("Q:");
        value = band(n).qEdit->text();
        break;
    case HoverKind::Gain:
        second = QStringLiteral("Gain:");
        value = QStringLiteral("%1dB").arg(-band(n).trackBar->position());
        break;
    case HoverKind::DragGain:
        second = QStringLiteral("Gain:");
        value = QStringLiteral("%1dB").arg(hover_.dragGainDb);
        break;
    case HoverKind::Image:
        value = shownOff(n) ? QStringLiteral("Off") : QStringLiteral("On");
        break;
    }
    showHoverTexts(masterEq(n), second, value);
}

void EqEditor::refreshHover(int n) {
    // During a drag the line shows the dragged value, not the last one shown.
    if (hover_.band == n && hover_.kind != HoverKind::DragGain) {
        showHover();
    }
}

// ---- user actions ---------------------------------------------------------------------------

void EqEditor::send(const PendingSend& p) {
    if (settling_) {
        // A band goes out once with what the model holds at the end of the pause.
        const bool queued = std::any_of(pending_.begin(), pending_.end(), [&p](const auto& q) {
            return q.kind == p.kind && q.kind != SendKind::Setting && q.n == p.n;
        });
        if (queued && p.kind == SendKind::Bypass) {
            for (PendingSend& q : pending_) {
                q.bypass = q.kind == SendKind::Bypass ? p.bypass : q.bypass;
            }
        } else if (!queued) {
            pending_.push_back(p);
        }
        return;
    }
    switch (p.kind) {
    case SendKind::Band:
        lastSentBand_[static_cast<std::size_t>(p.n - 1)] = setting_.band(p.n);
        sender_.sendBand(p.n);
        break;
    case SendKind::Trim:
        sender_.sendTrim();
        break;
    case SendKind::Bypass:
        sender_.sendBypass(p.bypass);
        break;
    case SendKind::Setting:
        sender_.sendSetting(p.block);
        break;
    }
}

void EqEditor::sendBand(int n) {
    send(PendingSend{SendKind::Band, n});
    faderSyncState_ = FaderSyncSent;
}

bool EqEditor::differsFromLastSent(int n) const {
    const std::optional<eq::EqBand>& sent = lastSentBand_[static_cast<std::size_t>(n - 1)];
    if (!connected() || !sent) {
        return false;
    }
    const eq::EqBand& m = setting_.band(n);
    return sent->bandType() != m.bandType() || sent->freqIndex != m.freqIndex ||
           sent->gainIndex != m.gainIndex || sent->qIndex != m.qIndex || sent->off != m.off;
}

void EqEditor::sendTrim() {
    send(PendingSend{SendKind::Trim});
}

void EqEditor::sendBypass(bool requested) {
    send(PendingSend{SendKind::Bypass, 0, requested});
}

void EqEditor::sendSetting(const SettingBlock& block) {
    send(PendingSend{SendKind::Setting, 0, false, block});
}

void EqEditor::beginEdit() {
    if (editDepth_++ == 0) {
        editBefore_ = setting_;
    }
}

void EqEditor::endEdit() {
    if (editDepth_ == 0) {
        return;
    }
    if (--editDepth_ == 0) {
        recordEdit(editBefore_, setting_);
    }
}

void EqEditor::recordEdit(const eq::EqSetting& before, const eq::EqSetting& after) {
    if (history_.record(before, after)) {
        emit historyChanged();
    }
}

bool EqEditor::undo() {
    return takeStep(true);
}

bool EqEditor::redo() {
    return takeStep(false);
}

bool EqEditor::takeStep(bool back) {
    if (editDepth_ != 0) {
        return false;
    }
    const std::optional<eq::EqHistory::Step> step = back ? history_.undo() : history_.redo();
    if (!step) {
        return false;
    }
    restoreParts(back ? step->before : step->after, step->parts);
    emit historyChanged();
    return true;
}

void EqEditor::restoreParts(const eq::EqSetting& target, const eq::EqParts& parts) {
    if (connected()) {
        // Like any edit: the model takes the values, the device is sent them and reports back.
        // Bypass follows the device's report, as a click does.
        eq::EqParts edited = parts;
        edited.bypass = false;
        eq::copyParts(setting_, target, edited);
        for (int n = 1; n <= eq::BandCount; ++n) {
            if (parts.band(n)) {
                sendBand(n);
            }
        }
        if (parts.trim) {
            sendTrim();
        }
        if (parts.bypass && target.bypass != setting_.bypass) {
            sendBypass(target.bypass);
        }
        return;
    }
    eq::copyParts(setting_, target, parts);
    for (int n = 1; n <= eq::BandCount; ++n) {
        if (parts.band(n)) {
            updateBand(n);
        }
    }
    if (parts.trim) {
        showTrim();
    }
    if (parts.bypass) {
        showBypass();
    }
}

void EqEditor::refreshBand(int n) {
    if (connected()) {
        sendBand(n);
    } else {
        updateBand(n);
    }
}

template <class Edit> void EqEditor::editBand(int n, Edit&& edit) {
    beginEdit();
    if (edit(setting_, n).refresh) {
        refreshBand(n);
    }
    endEdit();
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
    showGainReadout(n);
    const int newIndex = eq::gainIndexFromFaderPosition(position);
    eq::EqBand& m = setting_.band(n);
    if (newIndex == m.gainIndex) {
        // An echo may have brought the model to where the hand is now, while the device was
        // last asked for another value: ask again.
        if (faderSyncState_ != 0 && differsFromLastSent(n)) {
            sendBand(n);
        }
        return;
    }
    m.gainIndex = newIndex;
    if (!connected()) {
        updateBand(n);
    } else if (faderSyncState_ != 0) {
        sendBand(n);
        refreshHover(n);
    }
}

void EqEditor::stepTrim(int step) {
    if (!eq::stepTrim(setting_, step).changed) {
        return;
    }
    if (connected()) {
        sendTrim();
    } else {
        showTrim();
    }
}

void EqEditor::TrimAddDown() {
    beginEdit(); // the press and its repetition are one undo step, ended by the release
    trimAddImg_->setPicture(skinPicture(ImageList::ADImageList, TrimAddPressed), TrimAddPressed);
    // A press at the limit changes nothing and starts no repetition.
    if (setting_.trimDb < eq::MaxTrimDb) {
        stepTrim(+1);
        inputAddTimer_->start();
    }
}

void EqEditor::InputAddTimerTimer() {
    stepTrim(+1);
}

void EqEditor::TrimAddUp() {
    inputAddTimer_->stop();
    trimAddImg_->setPicture(skinPicture(ImageList::ADImageList, TrimAddReleased), TrimAddReleased);
    endEdit();
}

void EqEditor::TrimDecDown() {
    beginEdit(); // the press and its repetition are one undo step, ended by the release
    trimDecImg_->setPicture(skinPicture(ImageList::ADImageList, TrimDecPressed), TrimDecPressed);
    if (setting_.trimDb > eq::MinTrimDb) {
        stepTrim(-1);
        inputDecTimer_->start();
    }
}

void EqEditor::InputDecTimerTimer() {
    stepTrim(-1);
}

void EqEditor::TrimDecUp() {
    inputDecTimer_->stop();
    trimDecImg_->setPicture(skinPicture(ImageList::ADImageList, TrimDecReleased), TrimDecReleased);
    endEdit();
}

void EqEditor::BPImageMouseDown() {
    eq::EqSetting after = setting_;
    after.bypass = !setting_.bypass;
    recordEdit(setting_, after);
    if (connected()) {
        sendBypass(after.bypass);
    } else {
        eq::toggleBypass(setting_);
        showBypass();
    }
}

void EqEditor::ResetImgClick(const SettingBlock& resetBlock) {
    if (connected()) {
        faderSyncState_ = FaderSyncSent;
        noteSettingSent(resetBlock);
        sendSetting(resetBlock);
    } else {
        applyOpenedSetting(resetBlock);
    }
}

void EqEditor::typedValue(int n, bool frequency) {
    BandControls& b = bandAt(n);
    QLineEdit* edit = frequency ? b.freqEdit : b.qEdit;
    if (!edit->isModified()) {
        return; // left without typing
    }
    edit->setModified(false);
    const std::optional<double> value = eq::parseTypedValue(edit->text().toStdString());
    if (!value || edit->isReadOnly()) {
        edit->setText(frequency ? b.shownFreq : b.shownQ);
        return;
    }
    editBand(n, [&](eq::EqSetting& s, int band) {
        return frequency ? eq::setFrequencyIndex(s, band, eq::nearestFrequencyIndex(*value))
                         : eq::setQIndex(s, band, eq::nearestQIndex(*value));
    });
    // Connected, the box shows the table value that was sent until the device reports it.
    const eq::EqBand& m = setting_.band(n);
    edit->setText(
        QString::fromStdString(frequency ? eq::frequencyText(m.freqIndex) : eq::qText(m.qIndex)));
}

void EqEditor::FreqEditExit(int n) {
    typedValue(n, true);
}

void EqEditor::QEditExit(int n) {
    typedValue(n, false);
}

void EqEditor::FreqWheel(int n, int steps) {
    editBand(n,
             [steps](eq::EqSetting& s, int band) { return eq::stepFrequencyBy(s, band, steps); });
}

void EqEditor::QWheel(int n, int steps) {
    editBand(n, [steps](eq::EqSetting& s, int band) { return eq::stepQBy(s, band, steps); });
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

void EqEditor::raiseMarker(int index) {
    topBand_ = index;
    plot_->SetTopBlock(index);
}

void EqEditor::FFTDrawMouseDown(Qt::MouseButton button, int xPx, int yPx) {
    FFTDrawMouseUp();
    plot_->setCursor(Qt::ArrowCursor);
    if (button != Qt::LeftButton) {
        return;
    }
    // The marker drawn on top is the one taken; it stays on top while and after it is dragged.
    selectedBand_ =
        grabbedBand(plotGeometry(), markerStates(), setting_.trimDb, xPx, yPx, topBand_);
    if (selectedBand_ >= 0) {
        raiseMarker(selectedBand_);
        beginEdit();
    }
}

void EqEditor::FFTDrawMouseMove(int xPx, int yPx) {
    const PlotGeometry g = plotGeometry();
    if (selectedBand_ < 0) {
        const int hovered = grabbedBand(g, markerStates(), setting_.trimDb, xPx, yPx, topBand_);
        plot_->setCursor(hovered >= 0 ? Qt::CrossCursor : Qt::ArrowCursor);
        return;
    }
    const int s = selectedBand_ + 1;
    const DragTarget t = dragTarget(g, setting_.trimDb, xPx, yPx);
    hover_ = Hover{HoverKind::DragGain, s, t.gainDb};
    showHover();
    // A shelf band that would cross 1000 Hz is held there and still refreshed (or sent), so the
    // display, the model and the device never disagree.
    if (eq::setFromPlot(setting_, s, t.hz, t.gainDb).refresh) {
        refreshBand(s);
    }
}

void EqEditor::FFTDrawMouseUp() {
    if (selectedBand_ < 0) {
        return;
    }
    const int s = selectedBand_ + 1;
    selectedBand_ = -1;
    if (hover_.kind == HoverKind::DragGain) {
        hover_.kind = HoverKind::Gain; // from now on the line follows the band's fader
    }
    endEdit();
    refreshHover(s);
}

bool EqEditor::FFTDrawKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_1 && key < Qt::Key_1 + eq::BandCount) {
        raiseMarker(key - Qt::Key_1);
        return true;
    }
    const int n = (topBand_ >= 0 ? topBand_ : 0) + 1;
    const int steps = (modifiers & Qt::ShiftModifier) ? CoarseWheelSteps : 1;
    const int position = eq::faderPositionFromGainIndex(setting_.band(n).gainIndex);
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int signedSteps = key == Qt::Key_Left ? -steps : steps;
        FreqWheel(n, signedSteps);
        break;
    }
    case Qt::Key_Up:
    case Qt::Key_Down: {
        // Up raises the gain: the fader position goes towards its top.
        const int next = key == Qt::Key_Up ? position - 1 : position + 1;
        editBand(n, [next](eq::EqSetting& s, int band) {
            return eq::setGainFromFader(s, band, std::clamp(next, FaderMin, FaderMax));
        });
        break;
    }
    default:
        return false;
    }
    raiseMarker(n - 1);
    hover_ = Hover{HoverKind::Gain, n, 0};
    showHover();
    return true;
}

// ---- hover line -----------------------------------------------------------------------------

void EqEditor::EQTypeMove(int n) {
    hover_ = Hover{HoverKind::Type, n, 0};
    showHover();
}

void EqEditor::FreqEditMove(int n) {
    hover_ = Hover{HoverKind::Freq, n, 0};
    showHover();
}

void EqEditor::QEditMove(int n) {
    hover_ = Hover{HoverKind::Q, n, 0};
    showHover();
}

void EqEditor::TTrackBarMove(int n) {
    hover_ = Hover{HoverKind::Gain, n, 0};
    showHover();
}

void EqEditor::EQImage1MouseMove(int n) {
    hover_ = Hover{HoverKind::Image, n, 0};
    showHover();
}

bool EqEditor::eventFilterWheel(QObject* watched, QEvent* event) {
    for (int n = 1; n <= eq::BandCount; ++n) {
        const BandControls& b = band(n);
        const bool frequency = watched == b.freqEdit || watched == b.freqButton;
        if (!frequency && watched != b.qEdit && watched != b.qButton) {
            continue;
        }
        auto* wheel = static_cast<QWheelEvent*>(event);
        const int notches = wheelNotches(*wheel, wheelRemainder_);
        const auto* target = static_cast<QWidget*>(watched);
        if (notches != 0 && target->isEnabled() && !setting_.bypass) {
            const int steps =
                notches * ((wheel->modifiers() & Qt::ShiftModifier) ? CoarseWheelSteps : 1);
            frequency ? FreqWheel(n, steps) : QWheel(n, steps);
        }
        return true;
    }
    return false;
}

bool EqEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == plot_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        return FFTDrawKeyDown(key->key(), key->modifiers()) || QObject::eventFilter(watched, event);
    }
    if (event->type() == QEvent::Wheel && eventFilterWheel(watched, event)) {
        return true;
    }
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
