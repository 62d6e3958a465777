// The EQ editor over plain panels, offline and with a recording sender standing in for a device.
#include "editor/axis_strips.h"
#include "editor/eq_editor.h"
#include "editor/fader.h"
#include "editor/image_button.h"
#include "editor/skin.h"
#include "editor/spin_button.h"
#include "eq/operations.h"
#include "platform/clock_timer.h"
#include "plot/fft_draw_widget.h"
#include "protocol/frames.h"
#include "support/manual_clock.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace tq50r::editor {
namespace {

// Records every send; connected or not as the test says.
class RecordingSender : public EqSender {
public:
    bool isConnected = false;
    std::vector<std::string> sent;

    bool connected() const override { return isConnected; }
    void sendBand(int n) override { sent.push_back("band" + std::to_string(n)); }
    void sendTrim() override { sent.push_back("trim"); }
    void sendBypass(bool requested) override { sent.push_back(requested ? "bypass1" : "bypass0"); }
    void sendSetting(const SettingBlock&) override { sent.push_back("setting"); }
};

class EqEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        window->resize(900, 620);
        panel2 = new QWidget(window.get());
        panel2->setGeometry(0, 0, 849, 241);
        panel4 = new QWidget(window.get());
        panel4->setGeometry(0, 250, 505, 353);
        setting = eq::startSetting();
        editor = std::make_unique<EqEditor>(panel2, panel4, setting, sender, nullptr, &clock);
    }

    // Ends the settle pause after a whole setting, as its timer does.
    void settle() { editor->SettleTimerTimer(); }

    // Mouse position on band n's marker, found with the editor's own mapping.
    QPoint markerPoint(int n) const {
        const PlotGeometry g = editor->plotGeometry();
        const int bx = editor->plot()->GetBlockPos(n - 1).X;
        const int target = -editor->trackBar(n)->position() + setting.trimDb;
        for (int y = 0; y < g.heightPx; ++y) {
            if (levelDb(g, y) == target) {
                const double x = MapLeftOffsetPx + (bx - g.xMin) / (g.xMax - g.xMin) * g.widthPx;
                return QPoint(static_cast<int>(x) + 1, y);
            }
        }
        ADD_FAILURE() << "no row for level " << target;
        return {};
    }
    // Presses the mouse on band n's marker and returns where.
    QPoint pressMarker(int n, Qt::MouseButton button = Qt::LeftButton) {
        const QPoint p = markerPoint(n);
        editor->FFTDrawMouseDown(button, p.x(), p.y());
        return p;
    }
    static void sendMouse(QWidget* to, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), to->mapToGlobal(QPointF(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
        QApplication::sendEvent(to, &e);
    }

    static void sendWheel(QWidget* to, int notches, Qt::KeyboardModifiers modifiers = {}) {
        const QPointF at(4, 4);
        QWheelEvent e(at, to->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(to, &e);
    }
    // Band n's gain as the hover line and the readout under the fader show it.
    void expectGainShown(int n, int gainDb, const QString& readout) {
        EXPECT_EQ(editor->label1()->text(), QStringLiteral("Master EQ%1").arg(n));
        EXPECT_EQ(editor->label2()->text(), "Gain:");
        EXPECT_EQ(editor->label3()->text(), QStringLiteral("%1dB").arg(gainDb));
        EXPECT_EQ(editor->gainReadout(n)->text(), readout);
    }

    testing::ManualClock clock;
    std::unique_ptr<QWidget> window;
    QWidget* panel2 = nullptr;
    QWidget* panel4 = nullptr;
    eq::EqSetting setting;
    RecordingSender sender;
    std::unique_ptr<EqEditor> editor;
};

TEST_F(EqEditorTest, ControlsSitWhereThePanelPutsThem) {
    struct Place {
        QString name;
        QRect rect;
    };
    const Place places[] = {
        {"EQImage1", {99, 48, 35, 20}},        {"EQImage5", {419, 48, 35, 20}},
        {"EQType3", {256, 72, 41, 17}},        {"EQ2FreqEdit", {168, 96, 49, 22}},
        {"EQ4FreqCButton", {376, 96, 17, 25}}, {"EQ5QEdit", {408, 136, 49, 22}},
        {"EQ1QCButton", {136, 136, 17, 25}},   {"EQ3TrackBar", {272, 168, 25, 177}},
        {"TrimDecImg", {96, 16, 17, 17}},      {"TrimAddImg", {112, 16, 17, 17}},
        {"TrimEdit", {136, 16, 49, 22}},       {"BPImage", {456, 16, 42, 20}},
    };
    for (const Place& p : places) {
        SCOPED_TRACE(p.name.toStdString());
        auto* w = panel4->findChild<QWidget*>(p.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), p.rect);
        EXPECT_FALSE(w->toolTip().isEmpty());
    }
    EXPECT_EQ(panel4->findChild<QWidget*>("EQ3TrackBar")->property("Tag").toInt(), 3);
    EXPECT_EQ(panel4->findChild<QWidget*>("PaintBox2")->geometry(), QRect(168, 168, 65, 169));
    const std::pair<const char*, QPoint> labels[] = {
        {"TrimCaption", {24, 16}}, {"TypeCaption", {24, 72}},  {"FrequencyCaption", {8, 96}},
        {"QCaption", {32, 136}},   {"GainCaption", {24, 248}}, {"Label1", {220, 16}},
        {"Label2", {286, 16}},     {"Label3", {328, 14}}};
    for (const auto& [name, at] : labels) {
        EXPECT_EQ(panel4->findChild<QWidget*>(name)->pos(), at) << name;
    }
    auto* plot = panel2->findChild<QWidget*>("FFTDraw1");
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(plot->geometry(), QRect(40, 12, 809, 201));
    const std::pair<const char*, QSize> strips[] = {
        {"LeftPaintBox", {33, 217}}, {"BottomPaintBox", {809, 17}}, {"RightPaintBox", {33, 225}}};
    for (const auto& [name, size] : strips) {
        auto* strip = panel2->findChild<QWidget*>(name);
        ASSERT_NE(strip, nullptr) << name;
        EXPECT_EQ(strip->size(), size) << name;
    }
}

// The hover line: narrow 11-pixel captions and a bold 16-pixel serif value, each label one line of
// its font tall, whether the labels were shown before their first text or not.
TEST_F(EqEditorTest, HoverLabelsAreOneLineOfTheirFontsTall) {
    window->show();
    QApplication::processEvents();
    editor->setHoverLine(QStringLiteral("Master EQ1"), QStringLiteral("Freq:"),
                         QStringLiteral("1000Hz"));
    struct Case {
        QLabel* label;
        const char* family;
        int pixelSize;
        bool bold;
        int stretch;
        int width;
    };
    const Case cases[] = {
        {editor->label1(), "DejaVu Sans", 11, false, QFont::SemiCondensed, 64},
        {editor->label2(), "DejaVu Sans", 11, false, QFont::SemiCondensed, 42},
        {editor->label3(), "DejaVu Serif", 16, true, 0, 120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label->objectName().toStdString());
        EXPECT_EQ(c.label->font().family(), QString::fromLatin1(c.family));
        EXPECT_EQ(c.label->font().pixelSize(), c.pixelSize);
        EXPECT_EQ(c.label->font().bold(), c.bold);
        EXPECT_EQ(c.label->font().stretch(), c.stretch);
        EXPECT_EQ(c.label->size(), QSize(c.width, QFontMetrics(c.label->font()).height()));
    }
    EXPECT_EQ(editor->label3()->text(), QStringLiteral("1000Hz"));
}

TEST_F(EqEditorTest, StartShowsTheStartSetting) {
    const char* freqs[] = {"19.7", "62.5", "198.4", "630.0", "2010.0"};
    for (int n = 1; n <= eq::BandCount; ++n) {
        EXPECT_EQ(editor->freqEdit(n)->text().toStdString(), freqs[n - 1]);
        EXPECT_EQ(editor->qEdit(n)->text(), "3.00");
        EXPECT_EQ(editor->trackBar(n)->position(), 0);
        EXPECT_EQ(editor->eqImage(n)->pictureIndex(), n - 1);
        EXPECT_EQ(editor->eqType(n)->pictureIndex(), 1);
    }
    EXPECT_EQ(editor->trimEdit()->text(), "0");
    EXPECT_TRUE(editor->label1()->text().isEmpty());
    EXPECT_EQ(editor->selectedBand(), -1);
    // A flat setting gives a flat 0 dB curve and the graph holds it.
    int points = 0;
    ASSERT_TRUE(editor->plot()->GetPlotNumPoints(CurveIndex, points));
    EXPECT_EQ(points, 1024);
    EXPECT_DOUBLE_EQ(
        *std::max_element(editor->totalResponse().begin(), editor->totalResponse().end()), 0.0);
}

TEST_F(EqEditorTest, TypeCyclingMovesAShelfToOneKilohertz) {
    struct Step {
        eq::EqBandType type;
        const char* freq;
    };
    const Step steps[] = {{eq::EqBandType::LowShelf, "198.4"},
                          {eq::EqBandType::HighShelf, "1000.0"},
                          {eq::EqBandType::Peak, "1000.0"}};
    for (const Step& s : steps) {
        editor->EQTypeClick(3);
        EXPECT_EQ(setting.band(3).bandType(), s.type);
        EXPECT_EQ(editor->freqEdit(3)->text().toStdString(), s.freq);
        EXPECT_EQ(editor->eqType(3)->pictureIndex(), static_cast<int>(s.type));
    }
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(EqEditorTest, HoldingTrimDownStepsToMinus18AndLowersTheWholeCurve) {
    using Ms = std::chrono::milliseconds;
    setting.band(2).gainIndex = 12; // +6 dB so the curve is not flat
    editor->updateBand(2);
    const eq::TotalResponse before = editor->totalResponse();

    // -1 at once, then one step per 150 ms held.
    editor->TrimDecDown();
    EXPECT_EQ(setting.trimDb, -1);
    EXPECT_EQ(editor->trimDecImg()->pictureIndex(), 3);
    clock.advance(Ms(149));
    EXPECT_EQ(setting.trimDb, -1);
    clock.advance(Ms(1));
    EXPECT_EQ(setting.trimDb, -2);
    clock.advance(Ms(150 * 16 - 1));
    EXPECT_EQ(setting.trimDb, -17);
    clock.advance(Ms(1 + 150 * 8)); // past -18 the ticks change nothing
    EXPECT_EQ(setting.trimDb, -18);
    EXPECT_EQ(editor->trimEdit()->text(), "-18");
    for (std::size_t i = 0; i < before.size(); ++i) {
        ASSERT_NEAR(editor->totalResponse()[i], before[i] - 18.0, 1e-9) << i;
    }
    editor->TrimDecUp();
    EXPECT_FALSE(editor->inputDecTimer()->isActive());
    EXPECT_EQ(editor->trimDecImg()->pictureIndex(), 2);

    // A press at the limit changes nothing and starts no repetition.
    editor->TrimDecDown();
    EXPECT_EQ(setting.trimDb, -18);
    EXPECT_FALSE(editor->inputDecTimer()->isActive());
    editor->TrimDecUp();
    editor->TrimAddDown();
    EXPECT_EQ(editor->trimAddImg()->pictureIndex(), 1);
    clock.advance(Ms(300));
    EXPECT_EQ(setting.trimDb, -15);
    editor->TrimAddUp();
    clock.advance(Ms(300));
    EXPECT_EQ(setting.trimDb, -15);
    EXPECT_EQ(editor->trimAddImg()->pictureIndex(), 0);
    EXPECT_TRUE(sender.sent.empty());
}

TEST_F(EqEditorTest, DragIsLimitedToTheTableAndTheGainRange) {
    const QPoint p = pressMarker(3);
    ASSERT_EQ(editor->selectedBand(), 2);

    struct Move {
        QPoint to;
        int gainIndex;
        int freqIndex;
    };
    const Move moves[] = {
        {{p.x(), -4000}, 0, -1},  // far above: +12 dB
        {{p.x(), 4000}, 48, -1},  // far below: -12 dB
        {{-4000, p.y()}, 24, 1},  // far left: 19.7 Hz, filed under index 1
        {{4000, p.y()}, 24, 300}, // far right: 20160 Hz
    };
    for (const Move& m : moves) {
        editor->FFTDrawMouseMove(m.to.x(), m.to.y());
        EXPECT_EQ(setting.band(3).gainIndex, m.gainIndex);
        if (m.freqIndex >= 0) {
            EXPECT_EQ(setting.band(3).freqIndex, m.freqIndex);
        }
        // Offline the controls follow the mouse.
        EXPECT_EQ(editor->trackBar(3)->position(), eq::faderPositionFromGainIndex(m.gainIndex));
    }
    EXPECT_EQ(editor->label1()->text(), "Master EQ3");
    EXPECT_EQ(editor->freqEdit(3)->text(), "20160.0");

    editor->FFTDrawMouseUp();
    EXPECT_EQ(editor->selectedBand(), -1);
    const eq::EqBand after = setting.band(3);
    editor->FFTDrawMouseMove(10, 10);
    EXPECT_EQ(setting.band(3).freqIndex, after.freqIndex);
    EXPECT_EQ(setting.band(3).gainIndex, after.gainIndex);
}

TEST_F(EqEditorTest, RightButtonSelectsNothingAndMovesOnlyTheCursor) {
    const QPoint p = pressMarker(2, Qt::RightButton);
    EXPECT_EQ(editor->selectedBand(), -1);
    editor->FFTDrawMouseMove(p.x(), p.y());
    EXPECT_EQ(editor->plot()->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(setting.band(2).freqIndex, 50);
    editor->FFTDrawMouseMove(p.x(), p.y() + 60);
    EXPECT_EQ(editor->plot()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(setting.band(2).gainIndex, eq::ZeroGainIndex);
}

// A press takes the marker the user sees on top, and a dragged marker is drawn on top of the
// others.
TEST_F(EqEditorTest, OverlappingMarkersGiveTheOneDrawnOnTop) {
    setting.band(4).freqIndex = setting.band(2).freqIndex;
    editor->updateBand(4);
    const QPoint p = pressMarker(2);
    EXPECT_EQ(editor->selectedBand(), 3); // band 4 is painted after band 2
    EXPECT_EQ(editor->plot()->TopBlock(), 3);
    editor->FFTDrawMouseUp();
    editor->FFTDrawKeyDown(Qt::Key_2, Qt::NoModifier); // the keys pick band 2: drawn on top
    EXPECT_EQ(editor->plot()->TopBlock(), 1);
    editor->FFTDrawMouseDown(Qt::LeftButton, p.x(), p.y());
    EXPECT_EQ(editor->selectedBand(), 1);
}

TEST_F(EqEditorTest, OffBandIsHiddenFlatAndOutOfReach) {
    setting.band(3).gainIndex = 12;
    editor->updateBand(3);
    const QPoint p = markerPoint(3);
    editor->EQImageClick(3);
    EXPECT_TRUE(setting.band(3).off);
    EXPECT_EQ(editor->eqImage(3)->pictureIndex(), 3 + 4);
    EXPECT_TRUE(editor->plot()->BlockHidden(2));
    for (double v : editor->bandResponse(3)) {
        ASSERT_EQ(v, 0.0);
    }
    EXPECT_FALSE(editor->trackBar(3)->isEnabled());
    EXPECT_FALSE(editor->eqType(3)->isEnabled());
    EXPECT_FALSE(editor->freqEdit(3)->isEnabled());
    EXPECT_TRUE(editor->eqImage(3)->isEnabled());
    editor->EQImage1MouseMove(3);
    EXPECT_EQ(editor->label3()->text(), "Off");
    editor->FFTDrawMouseDown(Qt::LeftButton, p.x(), p.y());
    EXPECT_EQ(editor->selectedBand(), -1);
}

TEST_F(EqEditorTest, ConnectedFaderSendsUserMovesOnly) {
    sender.isConnected = true;
    editor->updateBand(2);
    sender.sent.clear();

    // The user moves fader 2 (the fader raises its change itself).
    editor->trackBar(2)->setPosition(-3);
    editor->trackBar(2)->setPosition(-3); // same position: no change
    editor->trackBar(2)->setPosition(-4);
    EXPECT_EQ(sender.sent, (std::vector<std::string>{"band2", "band2"}));
    EXPECT_EQ(setting.band(2).gainIndex, 16);
    EXPECT_EQ(editor->faderSyncState(), FaderSyncSent);

    // Program-made moves: a band report shown by updateBand, and a whole setting.
    sender.sent.clear();
    setting.band(2).gainIndex = 30;
    editor->updateBand(2);
    EXPECT_EQ(editor->trackBar(2)->position(), 3);
    eq::EqSetting other = eq::startSetting();
    for (eq::EqBand& b : other.bands) {
        b.gainIndex = 40;
    }
    editor->applySetting(protocol::buildParameterBlock(other, true));
    EXPECT_EQ(editor->trackBar(5)->position(), 8);
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_EQ(editor->faderSyncState(), FaderSyncSent);
}

TEST_F(EqEditorTest, ReportDoesNotMoveAFaderUnderTheHand) {
    sender.isConnected = true;
    TPTrackBar* fader = editor->trackBar(2);
    const FaderGeometry g = fader->geometryModel();
    sendMouse(fader, QEvent::MouseButtonPress, g.thumbRect(0).center(), Qt::LeftButton);
    ASSERT_TRUE(fader->isDragging());
    const QPoint up(g.thumbRect(0).center().x(), static_cast<int>(g.thumbCentreY(-5)));
    sendMouse(fader, QEvent::MouseMove, up, Qt::LeftButton);
    ASSERT_EQ(fader->position(), -5);
    EXPECT_EQ(sender.sent, std::vector<std::string>{"band2"});

    // The device echoes an older value while the thumb is still held.
    setting.band(2).gainIndex = 20;
    editor->updateBand(2);
    EXPECT_EQ(fader->position(), -5);
    EXPECT_EQ(sender.sent.size(), 1u);

    // The hand comes to the echoed value: the device, last asked for -5, is asked again.
    const QPoint echoed(up.x(), static_cast<int>(g.thumbCentreY(-2)));
    sendMouse(fader, QEvent::MouseMove, echoed, Qt::LeftButton);
    ASSERT_EQ(fader->position(), -2);
    EXPECT_EQ(sender.sent.size(), 2u);
    sendMouse(fader, QEvent::MouseButtonRelease, echoed, Qt::NoButton);
    editor->updateBand(2);
    EXPECT_EQ(fader->position(), -2);
    EXPECT_EQ(sender.sent.size(), 2u);
}

TEST_F(EqEditorTest, ConnectedEditsSendAndWaitForTheReport) {
    sender.isConnected = true;
    editor->EQQUpClick(2);
    EXPECT_EQ(setting.band(2).qIndex, 36);
    EXPECT_EQ(editor->qEdit(2)->text(), "3.00");

    editor->EQImageClick(4);
    EXPECT_TRUE(setting.band(4).off);
    EXPECT_EQ(editor->eqImage(4)->pictureIndex(), 3);
    editor->EQImage1MouseMove(4);
    EXPECT_EQ(editor->label3()->text(), "On");

    editor->TrimAddDown(); // at 0 dB: nothing
    editor->TrimDecDown();
    editor->TrimDecUp();
    EXPECT_EQ(editor->trimEdit()->text(), "0");

    editor->BPImageMouseDown();
    EXPECT_FALSE(setting.bypass);

    // A LowShelf band at 1000 Hz does not step up and sends nothing.
    setting.band(1).type = 2;
    setting.band(1).freqIndex = eq::ShelfSplitIndex;
    editor->EQFreqUpClick(1);
    EXPECT_EQ(sender.sent, (std::vector<std::string>{"band2", "band4", "trim", "bypass1"}));

    // The report brings the display in line.
    editor->updateBand(2);
    EXPECT_EQ(editor->qEdit(2)->text(), "3.20");
}

TEST_F(EqEditorTest, ConnectedDragSendsEveryMoveAndHoldsShelvesAtOneKilohertz) {
    setting.band(2).type = 2; // LowShelf at 62.5 Hz
    editor->updateBand(2);
    sender.isConnected = true;
    const QPoint p = pressMarker(2);
    ASSERT_EQ(editor->selectedBand(), 1);
    editor->FFTDrawMouseMove(p.x() + 3, p.y());
    editor->FFTDrawMouseMove(4000, p.y()); // would cross 1000 Hz
    EXPECT_EQ(setting.band(2).freqIndex, eq::ShelfSplitIndex);
    editor->FFTDrawMouseUp();
    EXPECT_EQ(sender.sent, (std::vector<std::string>{"band2", "band2"}));
    // The display waits for the device.
    EXPECT_EQ(editor->freqEdit(2)->text(), "62.5");
}

TEST_F(EqEditorTest, OfflineShelfDragAcrossOneKilohertzShowsTheHeldValue) {
    setting.band(5).type = 0; // HighShelf at 2010 Hz
    editor->updateBand(5);
    const QPoint p = pressMarker(5);
    editor->FFTDrawMouseMove(40, p.y() - 20);
    EXPECT_EQ(setting.band(5).freqIndex, eq::ShelfSplitIndex);
    EXPECT_EQ(editor->freqEdit(5)->text(), "1000.0");
    EXPECT_EQ(editor->trackBar(5)->position(),
              eq::faderPositionFromGainIndex(setting.band(5).gainIndex));
}

TEST_F(EqEditorTest, BypassedSettingDisablesEditingButOnBandsComeBack) {
    eq::EqSetting other = eq::startSetting();
    other.bypass = true;
    other.bands[1].off = true;
    other.trimDb = -5;
    editor->applySetting(protocol::buildParameterBlock(other, false));
    EXPECT_TRUE(setting.bypass);
    EXPECT_EQ(editor->trimEdit()->text(), "-5");
    EXPECT_EQ(editor->bpImage()->pictureIndex(), 2); // bypassed, after a whole setting
    EXPECT_FALSE(editor->trimAddImg()->isEnabled());
    EXPECT_FALSE(editor->eqImage(1)->isEnabled());
    EXPECT_FALSE(editor->plot()->isEnabled());
    // Band refreshes re-enable the controls of bands that are on, not of band 2 (off).
    EXPECT_TRUE(editor->trackBar(1)->isEnabled());
    EXPECT_TRUE(editor->eqType(1)->isEnabled());
    EXPECT_FALSE(editor->trackBar(2)->isEnabled());
}

// A bypass report can disable the editing controls while one of them is held: the disabled control
// never sees its release, so the hold must end there and then.
TEST_F(EqEditorTest, DisablingEditingEndsATrimHoldAndAMarkerDrag) {
    ImageButton* dec = editor->trimDecImg();
    sendMouse(dec, QEvent::MouseButtonPress, QPoint(4, 4), Qt::LeftButton);
    ASSERT_TRUE(editor->inputDecTimer()->isActive());
    const QPoint p = pressMarker(2);
    ASSERT_EQ(editor->selectedBand(), 1);

    editor->setEditControlsEnabled(false);
    EXPECT_FALSE(editor->inputDecTimer()->isActive());
    EXPECT_EQ(dec->pictureIndex(), 2); // trim - released
    EXPECT_EQ(editor->selectedBand(), -1);

    editor->setEditControlsEnabled(true);
    const eq::EqBand before = setting.band(2);
    editor->FFTDrawMouseMove(p.x() + 200, p.y() - 40); // a plain move: no drag
    EXPECT_EQ(setting.band(2).freqIndex, before.freqIndex);
    EXPECT_EQ(setting.band(2).gainIndex, before.gainIndex);
    EXPECT_EQ(setting.trimDb, -1);
}

// Nothing the user does during the settle pause is lost: offline it takes effect at once;
// connected it is sent, once per band, when the pause ends.
TEST_F(EqEditorTest, EditsDuringTheSettlePauseTakeEffect) {
    editor->applySetting(protocol::ResetBlock);
    ASSERT_TRUE(editor->isSettling());
    editor->EQTypeClick(1);
    editor->trackBar(1)->setPosition(-5);
    EXPECT_EQ(setting.band(1).bandType(), eq::EqBandType::LowShelf);
    EXPECT_EQ(setting.band(1).gainIndex, 14);
    clock.advance(std::chrono::milliseconds(511)); // the pause lasts 512 ms
    EXPECT_TRUE(editor->isSettling());
    clock.advance(std::chrono::milliseconds(1));
    EXPECT_FALSE(editor->isSettling());

    sender.isConnected = true;
    editor->applySetting(protocol::ResetBlock);
    editor->EQTypeClick(2);
    editor->trackBar(2)->setPosition(-3);
    editor->TrimDecDown();
    editor->TrimDecUp();
    editor->BPImageMouseDown();
    EXPECT_TRUE(sender.sent.empty());
    EXPECT_EQ(editor->trackBar(2)->position(), -3); // stays under the hand
    settle();
    EXPECT_FALSE(editor->isSettling());
    EXPECT_EQ(sender.sent, (std::vector<std::string>{"band2", "trim", "bypass1"}));
    EXPECT_EQ(setting.band(2).gainIndex, 18);
}

TEST_F(EqEditorTest, ResetSendsConnectedAndAppliesOffline) {
    setting.band(1).qIndex = 50;
    editor->ResetImgClick(protocol::ResetBlock);
    EXPECT_EQ(setting.band(1).qIndex, 0);
    EXPECT_EQ(editor->qEdit(1)->text(), "0.40");
    EXPECT_TRUE(sender.sent.empty());
    settle();
    sender.isConnected = true;
    setting.band(1).qIndex = 50;
    editor->ResetImgClick(protocol::ResetBlock);
    EXPECT_EQ(sender.sent, std::vector<std::string>{"setting"});
    EXPECT_EQ(setting.band(1).qIndex, 50);
}

TEST_F(EqEditorTest, HoverLineNamesTheControlUnderTheMouse) {
    editor->trackBar(5)->setPosition(-3);
    struct Case {
        std::function<void()> hover;
        QString first, second, value;
    };
    const Case cases[] = {
        {[&] { editor->TTrackBarMove(5); }, "Master EQ5", "Gain:", "3dB"},
        {[&] { editor->EQTypeMove(2); }, "Master EQ2", "Type:", "Peak"},
        {[&] { editor->FreqEditMove(4); }, "Master EQ4", "Freq:", "630.0Hz"},
        {[&] { editor->QEditMove(1); }, "Master EQ1", "Q:", "3.00"},
        {[&] { editor->EQImage1MouseMove(1); }, "Master EQ1", "", "On"},
    };
    for (const Case& c : cases) {
        c.hover();
        EXPECT_EQ(editor->label1()->text(), c.first);
        EXPECT_EQ(editor->label2()->text(), c.second);
        EXPECT_EQ(editor->label3()->text(), c.value);
    }
}

// The hover line and the readout under the fader show what the fader shows, whatever moved it.
TEST_F(EqEditorTest, GainReadoutsFollowTheFaderWhateverMovesIt) {
    TPTrackBar* fader = editor->trackBar(4);
    const FaderGeometry g = fader->geometryModel();
    const int x = g.thumbRect(0).center().x();
    sendMouse(fader, QEvent::MouseButtonPress, g.thumbRect(0).center(), Qt::LeftButton);
    for (int position = -1; position >= -9; --position) {
        sendMouse(fader, QEvent::MouseMove, QPoint(x, static_cast<int>(g.thumbCentreY(position))),
                  Qt::LeftButton);
    }
    sendMouse(fader, QEvent::MouseButtonRelease, QPoint(x, 0), Qt::NoButton);
    ASSERT_EQ(fader->position(), -9);
    expectGainShown(4, 9, "+9 dB");

    sendWheel(fader, -2); // down two notches
    expectGainShown(4, 7, "+7 dB");
    QTest::keyClick(fader, Qt::Key_Down);
    expectGainShown(4, 6, "+6 dB");
    sendMouse(fader, QEvent::MouseButtonPress, QPoint(x, g.heightPx - 2), Qt::LeftButton);
    sendMouse(fader, QEvent::MouseButtonRelease, QPoint(x, g.heightPx - 2), Qt::NoButton);
    expectGainShown(4, 4, "+4 dB"); // a page of 2 towards the pointer

    // A device report moves the fader: the readouts follow it too.
    sender.isConnected = true;
    setting.band(4).gainIndex = 36;
    editor->updateBand(4);
    expectGainShown(4, -6, "-6 dB");
}

TEST_F(EqEditorTest, HoverLineFollowsTypeClicksAndNamesTheDraggedGain) {
    editor->EQTypeMove(3);
    editor->EQTypeClick(3);
    EXPECT_EQ(editor->label3()->text(), "Low Shelf");
    editor->EQImage1MouseMove(3);
    editor->EQImageClick(3);
    EXPECT_EQ(editor->label3()->text(), "Off");
    editor->EQImageClick(3);

    editor->EQTypeMove(2);
    const QPoint p = pressMarker(2);
    editor->FFTDrawMouseMove(p.x(), p.y() - 30);
    EXPECT_EQ(editor->label1()->text(), "Master EQ2");
    EXPECT_EQ(editor->label2()->text(), "Gain:");
    EXPECT_EQ(editor->label3()->text(),
              QStringLiteral("%1dB").arg(-editor->trackBar(2)->position()));
    EXPECT_NE(editor->label3()->text(), "0dB");
}

// Typed values snap to the table and take the spin step's path; junk brings the value back.
TEST_F(EqEditorTest, TypedValuesSnapAndJunkIsUndone) {
    auto type = [](QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    };
    type(editor->freqEdit(2), "1k");
    EXPECT_EQ(setting.band(2).freqIndex, eq::ShelfSplitIndex);
    EXPECT_EQ(editor->freqEdit(2)->text(), "1000.0");
    type(editor->qEdit(2), "2,3");
    EXPECT_EQ(editor->qEdit(2)->text(), "2.40");
    type(editor->qEdit(2), "wide");
    EXPECT_EQ(editor->qEdit(2)->text(), "2.40");
    EXPECT_EQ(setting.band(2).qIndex, 31);

    sender.isConnected = true;
    type(editor->freqEdit(3), "440");
    EXPECT_EQ(sender.sent, std::vector<std::string>{"band3"});
    EXPECT_EQ(eq::frequencyText(setting.band(3).freqIndex), "435.3");

    // While bypassed the boxes take nothing.
    sender.isConnected = false;
    editor->BPImageMouseDown();
    type(editor->freqEdit(3), "100");
    EXPECT_EQ(eq::frequencyText(setting.band(3).freqIndex), "435.3");
}

TEST_F(EqEditorTest, WheelStepsBoxesAndShiftTakesTenEntries) {
    sendWheel(editor->freqEdit(3), 1);
    EXPECT_EQ(setting.band(3).freqIndex, 101);
    sendWheel(editor->freqCButton(3), -1, Qt::ShiftModifier);
    EXPECT_EQ(setting.band(3).freqIndex, 91);
    sendWheel(editor->qEdit(1), 2);
    EXPECT_EQ(setting.band(1).qIndex, 37);
    EXPECT_EQ(editor->qEdit(1)->text(), "3.40");
}

TEST_F(EqEditorTest, GraphKeysMoveTheMarkerOnTop) {
    editor->FFTDrawKeyDown(Qt::Key_3, Qt::NoModifier);
    editor->FFTDrawKeyDown(Qt::Key_Right, Qt::NoModifier);
    editor->FFTDrawKeyDown(Qt::Key_Right, Qt::ShiftModifier);
    editor->FFTDrawKeyDown(Qt::Key_Up, Qt::NoModifier);
    editor->FFTDrawKeyDown(Qt::Key_Up, Qt::NoModifier);
    EXPECT_EQ(setting.band(3).freqIndex, 111);
    EXPECT_EQ(editor->gainDb(3), 2);
    EXPECT_EQ(editor->trackBar(3)->position(), -2);
    EXPECT_FALSE(editor->FFTDrawKeyDown(Qt::Key_A, Qt::NoModifier));
    // Space and Enter act on the focused picture buttons like a click.
    QTest::keyClick(editor->eqType(1), Qt::Key_Space);
    QTest::keyClick(editor->trimDecImg(), Qt::Key_Return);
    EXPECT_EQ(setting.band(1).bandType(), eq::EqBandType::LowShelf);
    EXPECT_EQ(setting.trimDb, -1);
    EXPECT_FALSE(editor->inputDecTimer()->isActive());
}

// A drag, a fader drag and a trim hold are one step each; undo offline shows the old value, and
// connected it sends what restores it. The history outlives connecting and disconnecting.
TEST_F(EqEditorTest, UndoTakesBackWholeGesturesOfflineAndConnected) {
    const QPoint p = pressMarker(2);
    editor->FFTDrawMouseMove(p.x() + 40, p.y() - 20);
    editor->FFTDrawMouseMove(p.x() + 80, p.y() - 40);
    editor->FFTDrawMouseUp();
    editor->TrimDecDown();
    editor->InputDecTimerTimer();
    editor->InputDecTimerTimer();
    editor->TrimDecUp();
    ASSERT_EQ(setting.trimDb, -3);
    editor->ResetImgClick(protocol::ResetBlock);
    settle();
    EXPECT_EQ(editor->history().undoCount(), 3u);

    ASSERT_TRUE(editor->undo()); // the reset
    EXPECT_EQ(setting.trimDb, -3);
    EXPECT_EQ(setting.band(1).qIndex, 35);
    EXPECT_TRUE(editor->undo()); // the whole trim hold
    EXPECT_EQ(editor->trimEdit()->text(), "0");

    sender.isConnected = true;
    EXPECT_TRUE(editor->undo()); // the whole drag, as one band frame
    EXPECT_EQ(setting.band(2).freqIndex, 50);
    EXPECT_EQ(setting.band(2).gainIndex, eq::ZeroGainIndex);
    EXPECT_EQ(sender.sent, std::vector<std::string>{"band2"});
    EXPECT_FALSE(editor->undo());
    sender.isConnected = false;
    EXPECT_TRUE(editor->redo());
    EXPECT_NE(setting.band(2).freqIndex, 50);
    EXPECT_EQ(editor->freqEdit(2)->text().toStdString(),
              eq::frequencyText(setting.band(2).freqIndex));
}

// No label of the frequency strip runs past its end, where the panel would cut it off.
TEST(AxisStrips, HzLabelsStayInsideTheStrip) {
    constexpr int StripWidth = 809;
    constexpr int StripHeight = 17;
    QImage image(StripWidth + 40, StripHeight, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter p(&image);
    BottomBoxPaint(p, StripWidth, StripHeight);
    p.end();
    int inkColumns = 0;
    for (int x = StripWidth - 30; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            const bool inside = x < StripWidth;
            const bool ink = qRed(image.pixel(x, y)) > 120;
            EXPECT_FALSE(!inside && image.pixel(x, y) != qRgb(0, 0, 0)) << x << "," << y;
            inkColumns += inside && ink ? 1 : 0;
        }
    }
    EXPECT_GT(inkColumns, 10); // "(Hz)" is still there
}

// Renders both panels after a few edits; set TQ50R_EDITOR_SHOT to a PNG path to keep the picture.
TEST_F(EqEditorTest, PanelsRenderAfterEdits) {
    editor->trackBar(2)->setPosition(-6);
    editor->EQTypeClick(1);
    editor->EQTypeClick(5);
    editor->EQTypeClick(5);
    editor->EQQDownClick(3);
    editor->trackBar(3)->setPosition(4);
    editor->trackBar(4)->setPosition(-3);
    editor->EQImageClick(4);
    editor->TrimDecDown();
    editor->InputDecTimerTimer();
    editor->TrimDecUp();
    editor->TTrackBarMove(2);
    window->show();

    const QImage shot = window->grab().toImage();
    EXPECT_EQ(shot.size(), window->size());
    // Band 2's peak lifts the curve to +6 dB - 2 dB of trim near 62.5 Hz.
    const auto peak =
        std::max_element(editor->totalResponse().begin(), editor->totalResponse().end());
    EXPECT_NEAR(*peak, 4.0, 0.3);
    if (const QByteArray path = qgetenv("TQ50R_EDITOR_SHOT"); !path.isEmpty()) {
        EXPECT_TRUE(shot.save(QString::fromLocal8Bit(path)));
    }
}

} // namespace
} // namespace tq50r::editor
