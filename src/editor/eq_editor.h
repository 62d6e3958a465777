// The EQ editor: the controls of the editor panel (type, frequency, Q, on/off and gain of the five
// bands, trim and bypass, the hover line) and the response graph with its scale strips and the
// marker drag. Offline every edit changes the model and redraws at once; connected, an edit goes to
// the sender and the display follows what the device reports back (the window calls updateBand,
// showTrim, showBypass and applySetting from its receive path).
//
// The five bands share one set of handlers; each handler takes the band number 1..5, which is also
// the `Tag` of the band's controls, and band controls are found by prefix plus band number.
#pragma once

#include "editor/eq_sender.h"
#include "editor/graph_mapping.h"
#include "eq/eq_setting.h"
#include "eq/history.h"
#include "eq/operations.h"
#include "eq/response.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <vector>

class QLabel;
class QLineEdit;
class QWidget;

namespace tq50r::plot {
class TFFTDrawWidget;
}

namespace tq50r::platform {
class ClockTimer;
class TimerClock;
} // namespace tq50r::platform

namespace tq50r::editor {

class AxisStrip;
class FaderScale;
class ImageButton;
class TCSpinButton;
class TPTrackBar;

// Geometry of the editor panel (positions are left, top within their panel).
namespace layout {
inline constexpr int PanelWidthPx = 505;
inline constexpr int PanelHeightPx = 353;
inline constexpr int BandPitchPx = 80; // band columns are this far apart
inline constexpr QRect EQImage{99, 48, 35, 20};
inline constexpr QRect EQType{96, 72, 41, 17};
inline constexpr QRect FreqEdit{88, 96, 49, 22};
inline constexpr QRect FreqCButton{136, 96, 17, 25};
inline constexpr QRect QEdit{88, 136, 49, 22};
inline constexpr QRect QCButton{136, 136, 17, 25};
inline constexpr QRect TrackBar{112, 168, 25, 177};
inline constexpr QRect FaderScaleBox{88, 168, 65, 169};
inline constexpr QRect TrimDecImg{96, 16, 17, 17};
inline constexpr QRect TrimAddImg{112, 16, 17, 17};
inline constexpr QRect TrimEdit{136, 16, 49, 22};
inline constexpr QRect BPImage{456, 16, 42, 20};
inline constexpr QPoint Label1{220, 16};
inline constexpr QPoint Label2{286, 16};
inline constexpr QPoint Label3{328, 14};
inline constexpr QPoint TrimCaption{24, 16};
inline constexpr QPoint TypeCaption{24, 72};
inline constexpr QPoint FrequencyCaption{8, 96};
inline constexpr QPoint QCaption{32, 136};
inline constexpr QPoint GainCaption{24, 248};
// The gain readout under each fader, below the fader's channel picture.
inline constexpr QRect GainReadout{100, 341, 49, 12};

// The graph and its strips inside the plot panel. The strips lie over the graph's margins.
inline constexpr QRect Plot{40, 12, 809, 201};
inline constexpr int StripOverhangPx = 8; // the side strips start this far above the graph
inline constexpr QPoint DbCaption{4, 81};
} // namespace layout

// Fader range of a band's gain (position -12 at the top reads +12 dB).
inline constexpr int FaderMin = -12;
inline constexpr int FaderMax = 12;
// faderSyncState after a band was sent or shown: any non-zero value lets user fader moves send.
inline constexpr int FaderSyncSent = 3;
// Repeat interval of a held trim button.
inline constexpr int TrimRepeatMs = 150;
// After a whole setting was taken, received frames wait this long; edits made meanwhile are sent
// when it ends.
inline constexpr int SettleMs = 512;
// Table entries stepped by one wheel notch with Shift held.
inline constexpr int CoarseWheelSteps = 10;
// Marker and curve as handed to the graph.
inline constexpr std::uint32_t MarkerColor = 0x00FFFFFF;
inline constexpr std::uint32_t CurveColor = 0x000000FF;
inline constexpr int CurveIndex = 0;

class EqEditor : public QObject {
    Q_OBJECT
public:
    // `clock` drives the trim repeat, the settle pause and the spin buttons (the event loop's
    // when none is given).
    EqEditor(QWidget* panel2, QWidget* panel4, eq::EqSetting& setting, EqSender& sender,
             QObject* parent, platform::TimerClock* clock = nullptr);
    ~EqEditor() override;

    // ---- display operations -------------------------------------------------------------
    // Shows band n (1..5) from the model and recomputes its response.
    void updateBand(int n);
    // Rebuilds the total response and hands curve and markers to the graph.
    void redrawResponse();
    // Takes a whole setting block into the model and all controls, then settles for SettleMs.
    void applySetting(const SettingBlock& block);
    // A whole setting the user chose (an opened preset file): one undo step. Offline it is taken
    // at once; noteSettingSent records one that went to the device, which reports it back.
    void applyOpenedSetting(const SettingBlock& block);
    void noteSettingSent(const SettingBlock& block);
    void setEditControlsEnabled(bool enabled);
    void setBandControlsEnabled(int n, bool enabled);
    void showTrim();
    void showBypass();
    void setHoverLine(const QString& first, const QString& second, const QString& value);

    // The send gate: zero while the program itself moves faders.
    int faderSyncState() const { return faderSyncState_; }
    void setFaderSyncState(int state) { faderSyncState_ = state; }

    // True during the pause after applySetting: the window defers received frames, and edits
    // made meanwhile change the model at once but reach the device when the pause ends.
    bool isSettling() const { return settling_; }
    // End of the settle pause (its timer's tick): the edits made during it are sent, then
    // settleEnded follows.
    void SettleTimerTimer();
    platform::ClockTimer* settleTimer() const { return settleTimer_; }

    // ---- undo and redo ------------------------------------------------------------------
    // Offline the editor shows the restored values at once; connected, the frames that restore
    // them are sent like any edit. Nothing happens while an edit (a drag, a hold) is in progress.
    bool undo();
    bool redo();
    const eq::EqHistory& history() const { return history_; }

    // Band n's gain in whole dB as the curve and the marker show it, from the model.
    int gainDb(int n) const;

    plot::TFFTDrawWidget* plot() const { return plot_; }
    int selectedBand() const { return selectedBand_; }
    const eq::BandResponse& bandResponse(int n) const;
    const eq::TotalResponse& totalResponse() const { return total_; }

    // ---- user actions (band number n = 1..5) --------------------------------------------
    void EQTypeClick(int n);
    void EQImageClick(int n);
    void EQTrkBarChange(int n);
    void EQFreqUpClick(int n);
    void EQFreqDownClick(int n);
    void EQQUpClick(int n);
    void EQQDownClick(int n);
    void TrimAddDown();
    void TrimAddUp();
    void TrimDecDown();
    void TrimDecUp();
    void InputAddTimerTimer();
    void InputDecTimerTimer();
    void BPImageMouseDown();
    void BPImageClick() { BPImageMouseDown(); }
    // Reset button: sends the block while connected, applies it offline.
    void ResetImgClick(const SettingBlock& resetBlock);
    // Mouse on the graph; positions relative to the graph control.
    void FFTDrawMouseDown(Qt::MouseButton button, int xPx, int yPx);
    void FFTDrawMouseMove(int xPx, int yPx);
    void FFTDrawMouseUp();
    // Keys on the graph: 1..5 pick a marker, Left/Right step its frequency by one table entry
    // (ten with Shift), Up/Down its gain by 1 dB. False for a key the graph does not take.
    bool FFTDrawKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The marker drawn on top and moved by the keys (band index 0..4); the last one grabbed.
    int topBand() const { return topBand_; }
    // A value typed into a frequency or Q box, confirmed with Enter or by leaving the box.
    void FreqEditExit(int n);
    void QEditExit(int n);
    // Wheel notches on a frequency or Q box or its spin button (ten table entries each with Shift).
    void FreqWheel(int n, int steps);
    void QWheel(int n, int steps);
    // Hover line handlers.
    void EQTypeMove(int n);
    void FreqEditMove(int n);
    void QEditMove(int n);
    void TTrackBarMove(int n);
    void EQImage1MouseMove(int n);

    // ---- controls, found by prefix plus band number ---------------------------------------
    ImageButton* eqImage(int n) const;
    ImageButton* eqType(int n) const;
    QLineEdit* freqEdit(int n) const;
    QLineEdit* qEdit(int n) const;
    TCSpinButton* freqCButton(int n) const;
    TCSpinButton* qCButton(int n) const;
    TPTrackBar* trackBar(int n) const;
    ImageButton* trimAddImg() const { return trimAddImg_; }
    ImageButton* trimDecImg() const { return trimDecImg_; }
    QLineEdit* trimEdit() const { return trimEdit_; }
    ImageButton* bpImage() const { return bpImage_; }
    QLabel* label1() const { return label1_; }
    QLabel* label2() const { return label2_; }
    QLabel* label3() const { return label3_; }
    // The permanent gain readout under band n's fader.
    QLabel* gainReadout(int n) const;
    platform::ClockTimer* inputAddTimer() const { return inputAddTimer_; }
    platform::ClockTimer* inputDecTimer() const { return inputDecTimer_; }
    // The plot geometry the mouse mapping uses right now.
    PlotGeometry plotGeometry() const;

signals:
    // applySetting opened the settle pause; it ends SettleMs later. Received frames wait meanwhile.
    void settleStarted();
    void settleEnded();
    // What can be undone or redone changed.
    void historyChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct BandControls {
        ImageButton* image = nullptr;
        ImageButton* type = nullptr;
        QLineEdit* freqEdit = nullptr;
        TCSpinButton* freqButton = nullptr;
        QLineEdit* qEdit = nullptr;
        TCSpinButton* qButton = nullptr;
        TPTrackBar* trackBar = nullptr;
        FaderScale* scale = nullptr;
        QLabel* gainReadout = nullptr;
        QString shownFreq; // the box texts last shown, brought back after unreadable typing
        QString shownQ;
    };

    // What the hover line describes, so that it follows every change of that value.
    enum class HoverKind { None, Type, Freq, Q, Gain, DragGain, Image, Other };
    struct Hover {
        HoverKind kind = HoverKind::None;
        int band = 0;
        int dragGainDb = 0;
    };
    // A send held back by the settle pause.
    enum class SendKind { Band, Trim, Bypass, Setting };
    struct PendingSend {
        SendKind kind;
        int n = 0;
        bool bypass = false;
        SettingBlock block{};
    };

    void buildPanel4(QWidget* panel4, platform::TimerClock* clock);
    void buildPlotPanel(QWidget* panel2);
    void setUpPlot();
    const BandControls& band(int n) const;
    BandControls& bandAt(int n);
    bool connected() const { return sender_.connected(); }
    bool shownOff(int n) const;
    // Refresh of a band after an edit: offline redraw, connected send.
    void refreshBand(int n);
    // A band edit as one undo step, refreshed when the model asks.
    template <class Edit> void editBand(int n, Edit&& edit);
    void sendBand(int n);
    // Connected, and the model's band n differs from what the device was last asked for.
    bool differsFromLastSent(int n) const;
    void sendTrim();
    void sendBypass(bool requested);
    void sendSetting(const SettingBlock& block);
    void send(const PendingSend& pending);
    // An edit of the user: everything between the outermost begin and end is one undo step.
    void beginEdit();
    void endEdit();
    void recordEdit(const eq::EqSetting& before, const eq::EqSetting& after);
    // Undo (back) or redo one step of the history.
    bool takeStep(bool back);
    void restoreParts(const eq::EqSetting& target, const eq::EqParts& parts);
    void showHover();
    // The three texts of the hover line; the first sizes the labels.
    void showHoverTexts(const QString& first, const QString& second, const QString& value);
    void refreshHover(int n);
    void showGainReadout(int n);
    void typedValue(int n, bool frequency);
    void raiseMarker(int index);
    bool eventFilterWheel(QObject* watched, QEvent* event);
    void stepTrim(int step);
    void showBandPictures(int n, bool off);
    void showBandTexts(int n);
    void setFaderQuietly(int n, int position);
    // The markers as the hit test sees them, from the model.
    std::array<MarkerState, eq::BandCount> markerStates() const;

    eq::EqSetting& setting_;
    EqSender& sender_;
    int faderSyncState_ = 0;
    int selectedBand_ = -1;
    int topBand_ = -1;
    bool settling_ = false;
    std::vector<PendingSend> pending_;
    // Band n as it was last handed to the sender: a drag that comes back to a value the device
    // echoed meanwhile must still ask for it, or the device ends at the move before.
    std::array<std::optional<eq::EqBand>, eq::BandCount> lastSentBand_{};
    eq::EqHistory history_;
    eq::EqSetting editBefore_{};
    int editDepth_ = 0;
    Hover hover_;
    int wheelRemainder_ = 0;

    std::array<BandControls, eq::BandCount> bands_{};
    std::array<eq::BandResponse, eq::BandCount> responses_{};
    eq::TotalResponse total_{};

    ImageButton* trimAddImg_ = nullptr;
    ImageButton* trimDecImg_ = nullptr;
    QLineEdit* trimEdit_ = nullptr;
    ImageButton* bpImage_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QLabel* label3_ = nullptr;
    bool hoverSized_ = false;
    platform::ClockTimer* inputAddTimer_ = nullptr;
    platform::ClockTimer* inputDecTimer_ = nullptr;
    platform::ClockTimer* settleTimer_ = nullptr;
    plot::TFFTDrawWidget* plot_ = nullptr;
    AxisStrip* leftStrip_ = nullptr;
    AxisStrip* bottomStrip_ = nullptr;
    AxisStrip* rightStrip_ = nullptr;
};

} // namespace tq50r::editor
