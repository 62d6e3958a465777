#include "app/app_info.h"
#include "app/dialog_hooks.h"
#include "app/status_row.h"
#include "app_test_support.h"
#include "devices/device_list.h"
#include "devices/serial_scan.h"
#include "editor/eq_editor.h"
#include "editor/fader.h"
#include "editor/image_button.h"
#include "editor/skin.h"
#include "editor/spin_button.h"
#include "platform/clock_timer.h"
#include "plot/fft_draw_widget.h"
#include "tq50r_version.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace tq50r::app {
namespace {

using testing::ScriptedWindow;

template <typename T = QWidget> T* child(TForm1& form, const char* name) {
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

TEST(MainWindow, FixedBlackWindowWithTitle) {
    ScriptedWindow w;
    EXPECT_EQ(w.form->size(), QSize(1070, 768));
    EXPECT_EQ(w.form->minimumSize(), w.form->maximumSize());
    EXPECT_EQ(w.form->windowTitle(), QStringLiteral("TQ50R V" TQ50R_VERSION));
    const QWidget* client = w.form->centralWidget();
    EXPECT_EQ(client->palette().color(QPalette::Window), QColor(Qt::black));
}

TEST(MainWindow, ControlsSitAtTheirPlaces) {
    struct Place {
        const char* name;
        QRect rect; // relative to the control's parent
        bool visible;
    };
    const Place places[] = {
        {"RefreshBtn", {8, 8, 75, 25}, true},        {"DeviceBox", {8, 45, 185, 625}, true},
        {"Label6", {8, 688, 45, 13}, true},          {"deviceCountLabel", {56, 688, 60, 13}, true},
        {"Panel1", {200, 8, 849, 33}, true},         {"connectflagImage", {160, 16, 33, 17}, true},
        {"Panel2", {200, 45, 849, 241}, true},       {"Panel3", {200, 290, 849, 380}, true},
        {"TempLabel", {208, 688, 113, 13}, false},   {"ProtectedLabel", {328, 688, 89, 13}, false},
        {"ProtectState", {422, 685, 20, 20}, false}, {"TempOverLabel", {472, 688, 105, 13}, false},
        {"TempState", {581, 685, 20, 20}, false},    {"VoltageLabel", {632, 688, 81, 13}, false},
        {"VoltageState", {713, 685, 20, 20}, false}, {"StandbyLabel", {752, 688, 49, 13}, false},
        {"StandbyState", {803, 685, 20, 20}, false},
    };
    ScriptedWindow w;
    w.form->show();
    // The status row's controls are made when the row is first needed; made, they sit hidden.
    EXPECT_EQ(w.form->findChild<QWidget*>(QStringLiteral("TempLabel")), nullptr);
    w.form->statusRow().tempLabel();
    for (const Place& p : places) {
        SCOPED_TRACE(p.name);
        QWidget* control = child(*w.form, p.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->geometry(), p.rect);
        EXPECT_EQ(control->isVisible(), p.visible);
    }

    auto* timeLabel = child<QLabel>(*w.form, "TimeLabel");
    EXPECT_EQ(timeLabel->pos(), QPoint(80, 8));
    EXPECT_EQ(timeLabel->text(), QStringLiteral("15"));
    EXPECT_EQ(child<QPushButton>(*w.form, "RefreshBtn")->text(), QStringLiteral("UPDATE"));
    EXPECT_EQ(child<QLabel>(*w.form, "Label6")->text(), QStringLiteral("Count:"));
    EXPECT_EQ(child<QLabel>(*w.form, "deviceCountLabel")->text(), QStringLiteral("0"));
    EXPECT_EQ(child<QLabel>(*w.form, "TempLabel")->text(),
              QString::fromUtf8("Temperature:0\u2103"));

    QWidget* frame = child(*w.form, "DevicePaintBox");
    EXPECT_EQ(frame->size(), QSize(160, 89));
    EXPECT_FALSE(frame->isVisible());
    QWidget* lamp = child(*w.form, "ConnectShape");
    EXPECT_EQ(lamp->size(), QSize(15, 15));
    EXPECT_FALSE(lamp->isVisible());
    QWidget* reset = child(*w.form, "ResetImg");
    EXPECT_EQ(reset->size(), QSize(41, 17));
    EXPECT_TRUE(child(*w.form, "Panel1")
                    ->geometry()
                    .contains(reset->mapTo(w.form->centralWidget(), QPoint(0, 0))));
    QWidget* panel4 = child(*w.form, "Panel4");
    EXPECT_EQ(panel4->size(), QSize(505, 353));
    EXPECT_EQ(panel4->parentWidget()->objectName(), QStringLiteral("Panel3"));
    EXPECT_TRUE(panel4->parentWidget()->rect().contains(panel4->geometry()));

    // The diagnostic log is made with its first line (a skipped serial port); it lies outside the
    // visible area, hidden.
    EXPECT_EQ(w.form->findChild<QWidget*>(QStringLiteral("Memo1")), nullptr);
    emit w.form->serialScan().portSkipped(3);
    EXPECT_EQ(child<QPlainTextEdit>(*w.form, "Memo1")->toPlainText(), QStringLiteral("3"));
    for (const char* name : {"Memo1", "Button1"}) {
        QWidget* diag = child(*w.form, name);
        EXPECT_FALSE(diag->isVisible()) << name;
        EXPECT_GE(diag->x(), 1070) << name;
    }
    // Everything visible on the form fits inside it.
    const QRect clientRect = w.form->centralWidget()->rect();
    for (const Place& p : places)
        EXPECT_TRUE(clientRect.contains(p.rect)) << p.name;
}

TEST(MainWindow, ControlsCarryAccessibleNamesAndTips) {
    ScriptedWindow w;
    for (const char* name : {"RefreshBtn", "DeviceBox", "connectflagImage", "ResetImg",
                             "deviceCountLabel", "TimeLabel"}) {
        QWidget* control = child(*w.form, name);
        EXPECT_FALSE(control->accessibleName().isEmpty()) << name;
    }
    for (const char* name : {"RefreshBtn", "connectflagImage", "ResetImg"})
        EXPECT_FALSE(child(*w.form, name)->toolTip().isEmpty()) << name;
}

TEST(MainWindow, TimersHaveTheirIntervalsAndStartStates) {
    struct TimerCase {
        const char* name;
        int intervalMs;
        bool active;
    };
    const TimerCase timers[] = {
        {"DeviceTimer", 10, false},      {"RecallTimer", 20, false},
        {"CloseTimer", 20, false},       {"InputDecTimer", 150, false},
        {"InputAddTimer", 150, false},   {"RequestTimer", 300, false},
        {"ConnectTimer", 1000, false},   {"SearchTimer", 1000, true},
        {"DisconnectTimer", 3000, true}, {"ReconnectTimer", 3000, false},
        {"ReadStateTimer", 3000, false}, {"CheckTimer", 6000, false},
    };
    ScriptedWindow w;
    const QRegularExpression named(QStringLiteral("Timer$"));
    EXPECT_EQ(w.form->findChildren<QTimer*>(named).size() +
                  w.form->findChildren<platform::ClockTimer*>(named).size(),
              static_cast<qsizetype>(std::size(timers)));
    for (const TimerCase& t : timers) {
        SCOPED_TRACE(t.name);
        // The trim repeat runs on the editor's clock, the others on the event loop.
        if (auto* timer = w.form->findChild<platform::ClockTimer*>(QString::fromLatin1(t.name))) {
            EXPECT_EQ(timer->interval(), t.intervalMs);
            EXPECT_EQ(timer->isActive(), t.active);
            continue;
        }
        auto* timer = child<QTimer>(*w.form, t.name);
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->interval(), t.intervalMs);
        EXPECT_EQ(timer->isActive(), t.active);
    }
}

TEST(MainWindow, SearchCountdownEndsInNoDevice) {
    ScriptedWindow w;
    auto* label = child<QLabel>(*w.form, "TimeLabel");
    auto* timer = child<QTimer>(*w.form, "SearchTimer");
    for (int expected = 14; expected >= 1; --expected) {
        w.form->SearchTimerTimer();
        EXPECT_EQ(label->text(), QString::number(expected));
        EXPECT_TRUE(timer->isActive());
    }
    w.form->SearchTimerTimer();
    EXPECT_EQ(label->text(), QStringLiteral("No Device"));
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(w.form->state().searchCountdown, 15);

    // UPDATE runs the countdown again from the top.
    w.form->RefreshBtnClick();
    EXPECT_TRUE(timer->isActive());
    w.form->SearchTimerTimer();
    EXPECT_EQ(label->text(), QStringLiteral("14"));
}

TEST(MainWindow, UpdateDuringCountdownGoesOnFromItsValue) {
    ScriptedWindow w;
    for (int i = 0; i < 5; ++i)
        w.form->SearchTimerTimer();
    w.form->RefreshBtnClick();
    w.form->SearchTimerTimer();
    EXPECT_EQ(child<QLabel>(*w.form, "TimeLabel")->text(), QStringLiteral("9"));
    EXPECT_EQ(w.form->deviceList().flags().listPause, 0);
}

QAction* action(TForm1& form, const char* name) {
    return child<QAction>(form, name);
}

TEST(MainWindow, MenusHaveTheirTextsShortcutsAndVisibility) {
    struct Item {
        const char* name;
        const char* text;
        QKeySequence shortcut;
        bool visible;
    };
    const Item items[] = {
        {"OpenItem", "&Open", QKeySequence(QStringLiteral("Ctrl+O")), true},
        {"SaveAsItem", "&Save As", QKeySequence(QStringLiteral("Ctrl+S")), true},
        {"ExitItem", "&Exit", QKeySequence(QStringLiteral("Ctrl+Q")), true},
        {"FactoryUSBItem", "Factory(USB)", {}, false},
        {"FactoryIPItem", "Factory(IP)", {}, true},
        {"AboutItem", "&About", {}, true},
        {"NewDeviceItem", "New Device", {}, false},
        {"RenameItem", "Rename Device", {}, true},
        {"MACItem", "Modify MAC Address", {}, false},
        {"RemoveDeviceItem", "Remove Device", {}, true},
        {"BurningItem", "More Info", {}, false},
    };
    ScriptedWindow w;
    for (const Item& item : items) {
        SCOPED_TRACE(item.name);
        QAction* a = action(*w.form, item.name);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->text(), QString::fromLatin1(item.text));
        EXPECT_EQ(a->shortcut(), item.shortcut);
        EXPECT_EQ(a->isVisible(), item.visible);
    }

    QStringList visibleMenus;
    for (QAction* top : w.form->menuBar()->actions())
        if (top->isVisible())
            visibleMenus << top->text();
    EXPECT_EQ(visibleMenus, (QStringList{"&File", "&Edit", "&Help"}));
    // The factory entry is visible, but its menu is not: it cannot be reached.
    auto* view = child<QMenu>(*w.form, "ViewItem");
    EXPECT_EQ(view->title(), QStringLiteral("View"));
    EXPECT_FALSE(view->menuAction()->isVisible());
    EXPECT_EQ(child<QMenu>(*w.form, "PopupMenu1")->actions().size(), 1);
}

TEST(MainWindow, ExitAndCloseEndTheProcessWithoutAsking) {
    ScriptedWindow w;
    w.form->show();
    action(*w.form, "ExitItem")->trigger();
    EXPECT_EQ(w.endProcessCalls, 1);
    EXPECT_TRUE(w.questions.isEmpty());
    w.form->show();
    w.form->close();
    EXPECT_EQ(w.endProcessCalls, 2);
}

TEST(MainWindow, AboutMenuShowsTheBox) {
    ScriptedWindow w;
    action(*w.form, "AboutItem")->trigger();
    EXPECT_EQ(w.aboutCalls, 1);
}

TEST(MainWindow, StatusRowShowsAndHidesWithMoreInfoAndItsTimer) {
    ScriptedWindow w;
    w.form->show();
    const char* controls[] = {"TempLabel",     "ProtectedLabel", "ProtectState",
                              "TempOverLabel", "TempState",      "VoltageLabel",
                              "VoltageState",  "StandbyLabel",   "StandbyState"};
    auto* timer = child<QTimer>(*w.form, "ReadStateTimer");
    for (bool visible : {true, false, true}) {
        w.form->showStatusRow(visible);
        EXPECT_EQ(w.form->statusRowVisible(), visible);
        for (const char* name : controls)
            EXPECT_EQ(child(*w.form, name)->isVisible(), visible) << name;
        EXPECT_EQ(action(*w.form, "BurningItem")->isVisible(), visible);
        EXPECT_EQ(timer->isActive(), visible);
    }
}

// Every menu of the window is dark: its own, the context menus Qt makes for its controls and for
// the dialogs it owns. A menu of no window of the program keeps the toolkit's look. The editor's
// many controls are drawn without the style sheet machinery, which cost the start-up dearly.
TEST(MainWindow, MenusOfTheWindowAndItsDialogsAreDarkAndTheEditorIsPlain) {
    ScriptedWindow w;
    w.form->show();
    // As the user sees a menu: popped up (a menu may be polished long before).
    const auto background = [](QMenu* menu) {
        menu->addAction(QStringLiteral("item"));
        menu->popup(QPoint(10, 10));
        const QImage image = menu->grab().toImage();
        menu->hide();
        return image.pixel(image.width() - 3, image.height() - 3) & 0xFFFFFF;
    };
    const QRgb dark = editor::theme::PanelRgb & 0xFFFFFF;
    QDialog dialog(w.form.get());
    auto* dialogEdit = new QLineEdit(&dialog);
    QMenu* menus[] = {
        w.form->menuBar()->actions().first()->menu(),
        child<QMenu>(*w.form, "DeviceMenu"),
        child<QMenu>(*w.form, "EditItem"),
        w.form->eqEditor().freqEdit(1)->createStandardContextMenu(),
        dialogEdit->createStandardContextMenu(),
    };
    for (QMenu* menu : menus) {
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(background(menu), dark) << menu->objectName().toStdString();
    }
    QMenu elsewhere;
    EXPECT_NE(background(&elsewhere), dark);

    for (QWidget* control : std::initializer_list<QWidget*>{
             w.form->eqEditor().plot(), w.form->eqEditor().trackBar(2), w.form->eqEditor().label3(),
             child(*w.form, "Panel4"), child(*w.form, "Panel2")})
        EXPECT_FALSE(control->style()->inherits("QStyleSheetStyle"))
            << control->objectName().toStdString();
}

TEST(MainWindow, YesNoBoxReadsTheSameInAnyLanguage) {
    const auto box = makeYesNoBox(nullptr, QStringLiteral("Do you want to save present preset?"));
    EXPECT_EQ(box->windowTitle(), QStringLiteral("TQ50R"));
    EXPECT_EQ(box->text(), QStringLiteral("Do you want to save present preset?"));
    EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("&Yes"));
    EXPECT_EQ(box->button(QMessageBox::No)->text(), QStringLiteral("&No"));
    EXPECT_EQ(box->buttons().size(), 2);

    // The window's question goes through the replaceable hook.
    ScriptedWindow w;
    w.answers = {true, false};
    EXPECT_TRUE(w.form->askYesNo(QStringLiteral("first")));
    EXPECT_FALSE(w.form->askYesNo(QStringLiteral("second")));
    EXPECT_EQ(w.questions, (QStringList{"first", "second"}));
}

TEST(MainWindow, HoveringTheLinkFlagNamesTheLinkState) {
    ScriptedWindow w;
    w.form->show();
    QWidget* flag = child(*w.form, "connectflagImage");
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), flag->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(flag, &move);
    editor::EqEditor& editor = w.form->eqEditor();
    EXPECT_EQ(editor.label1()->text(), QString());
    EXPECT_EQ(editor.label2()->text(), QStringLiteral("Device:"));
    EXPECT_EQ(editor.label3()->text(), QStringLiteral("Off"));
}

TEST(MainWindow, ResetImageAppliesTheFlatSettingOffline) {
    ScriptedWindow w;
    eq::EqSetting& s = w.form->setting();
    s.trimDb = -7;
    s.bypass = true;
    for (int n = 1; n <= eq::BandCount; ++n) {
        s.band(n).gainIndex = 40;
        s.band(n).qIndex = 70;
        s.band(n).off = true;
    }
    w.form->show();
    QWidget* reset = child(*w.form, "ResetImg");
    const QPointF inside(4, 4);
    QMouseEvent press(QEvent::MouseButtonPress, inside, reset->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, inside, reset->mapToGlobal(inside),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(reset, &press);
    QCoreApplication::sendEvent(reset, &release);

    EXPECT_EQ(s.trimDb, 0);
    EXPECT_FALSE(s.bypass);
    const int resetFreqIndex[] = {0, 50, 100, 150, 200};
    for (int n = 1; n <= eq::BandCount; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(s.band(n).bandType(), eq::EqBandType::Peak);
        EXPECT_EQ(s.band(n).freqIndex, resetFreqIndex[n - 1]);
        EXPECT_EQ(s.band(n).qIndex, 0);
        EXPECT_EQ(s.band(n).gainIndex, eq::ZeroGainIndex);
        EXPECT_FALSE(s.band(n).off);
    }
    EXPECT_EQ(w.form->eqEditor().trimEdit()->text(), QStringLiteral("0"));
}

// The whole window after a few edits: the plot shows the new curve and the
// picture is saved for a look when TQ50R_SHOT_DIR names a folder.
TEST(MainWindow, RendersTheEditedCurve) {
    ScriptedWindow w;
    w.form->show();
    const QImage before = w.form->grab().toImage();
    editor::EqEditor& editor = w.form->eqEditor();
    editor.EQTypeClick(2);
    editor.trackBar(1)->setPosition(4);
    editor.trackBar(3)->setPosition(-9);
    editor.EQImageClick(4);
    for (int i = 0; i < 4; ++i) {
        editor.TrimDecDown();
        editor.TrimDecUp();
    }
    for (int i = 0; i < 20; ++i)
        editor.EQQUpClick(3);
    EXPECT_EQ(w.form->setting().trimDb, -4);
    EXPECT_EQ(w.form->setting().band(3).gainIndex, 6);
    EXPECT_TRUE(w.form->setting().band(4).off);

    const QImage picture = w.form->grab().toImage();
    EXPECT_EQ(picture.size(), QSize(1070, 768));
    const QByteArray dir = qgetenv("TQ50R_SHOT_DIR");
    if (!dir.isEmpty())
        picture.save(QString::fromLocal8Bit(dir) + QStringLiteral("/main_window_edited.png"));

    // The plot panel shows the new curve and markers: many of its pixels changed.
    const QWidget* plotPanel = w.form->findChild<QWidget*>(QStringLiteral("Panel2"));
    const QRect area(plotPanel->mapTo(w.form.get(), QPoint(0, 0)), plotPanel->size());
    int changedPixels = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (picture.pixel(x, y) != before.pixel(x, y))
                ++changedPixels;
    EXPECT_GT(changedPixels, 500);
}

// The Edit menu beside File takes back an opened file as one step, and redoes it.
TEST(MainWindow, EditMenuUndoesAnOpenedFileInOneStep) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("flat.bin"));
    ScriptedWindow w;
    w.saveNames = {path};
    ASSERT_TRUE(w.form->savePreset()); // the start setting
    editor::EqEditor& editor = w.form->eqEditor();
    editor.EQQUpClick(2);
    editor.trackBar(4)->setPosition(-6);
    QAction* undo = action(*w.form, "UndoItem");
    QAction* redo = action(*w.form, "RedoItem");
    EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_TRUE(redo->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Y)));
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());

    w.openNames = {path};
    ASSERT_TRUE(w.form->openPreset());
    EXPECT_EQ(w.form->setting().band(2).qIndex, 35);
    undo->trigger();
    EXPECT_EQ(w.form->setting().band(2).qIndex, 36);
    EXPECT_EQ(editor.trackBar(4)->position(), -6); // the fader edit was not part of the file step
    redo->trigger();
    EXPECT_EQ(w.form->setting().band(2).qIndex, 35);
    EXPECT_EQ(editor.gainReadout(4)->text(), QStringLiteral("0 dB"));
}

// On a work area smaller than the window (1366 x 768 less a title bar and a panel, or a 2x
// screen) the window opens inside it and its client scrolls to every control.
TEST(MainWindow, OpensInsideASmallWorkAreaAndScrolls) {
    ScriptedWindow w;
    w.form->show();
    for (const QRect area : {QRect(0, 27, 1366, 713), QRect(0, 0, 960, 540)}) {
        SCOPED_TRACE(area.height());
        const QSize frame(4, 28);
        w.form->fitToWorkArea(area, frame);
        EXPECT_TRUE(area.contains(QRect(w.form->pos(), w.form->size() + frame)));
        auto* scroll = child<QScrollArea>(*w.form, "ClientScroll");
        QCoreApplication::processEvents();
        EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
        QWidget* fader = w.form->eqEditor().trackBar(5);
        scroll->ensureWidgetVisible(fader);
        const QRect shown(fader->mapTo(scroll->viewport(), QPoint(0, 0)), fader->size());
        EXPECT_TRUE(scroll->viewport()->rect().contains(shown));
    }
    w.form->fitToWorkArea(QRect(0, 0, 1920, 1050), QSize(0, 30));
    EXPECT_EQ(w.form->size(), QSize(1070, 768));
    EXPECT_EQ(w.form->pos(), QPoint(425, 126)); // centred
}

TEST(MainWindow, NoDeviceHintSaysWhatToDo) {
    ScriptedWindow w;
    w.form->show();
    QLabel* hint = w.form->noDeviceHint();
    for (int tick = 1; tick < SearchCountdownStart; ++tick) {
        w.form->SearchTimerTimer();
        EXPECT_FALSE(hint->isVisible());
    }
    w.form->SearchTimerTimer();
    EXPECT_EQ(child<QLabel>(*w.form, "TimeLabel")->text(), QStringLiteral("No Device"));
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->text().contains(QStringLiteral("USB or LAN")));
    EXPECT_TRUE(hint->text().contains(QStringLiteral("UPDATE")));
    w.form->RefreshBtnClick();
    EXPECT_FALSE(hint->isVisible());
}

// Tab walks the window in reading order and reaches every editing control.
TEST(MainWindow, TabReachesEveryControlInReadingOrder) {
    ScriptedWindow w;
    editor::EqEditor& e = w.form->eqEditor();
    const std::vector<QWidget*> expected{child(*w.form, "RefreshBtn"),
                                         child(*w.form, "ResetImg"),
                                         e.plot(),
                                         e.trimDecImg(),
                                         e.trimAddImg(),
                                         e.bpImage(),
                                         e.eqImage(1),
                                         e.eqType(1),
                                         e.freqEdit(1),
                                         e.freqCButton(1),
                                         e.qEdit(1),
                                         e.qCButton(1),
                                         e.trackBar(1),
                                         e.trackBar(5)};
    std::vector<QWidget*> chain;
    QWidget* at = child(*w.form, "RefreshBtn");
    for (int i = 0; i < 200 && (chain.empty() || at != chain.front()); ++i) {
        if (at->focusPolicy() & Qt::TabFocus)
            chain.push_back(at);
        at = at->nextInFocusChain();
    }
    auto position = [&chain](QWidget* wanted) {
        return std::find(chain.begin(), chain.end(), wanted) - chain.begin();
    };
    for (std::size_t i = 1; i < expected.size(); ++i)
        EXPECT_LT(position(expected[i - 1]), position(expected[i])) << i;
    EXPECT_LT(position(e.trackBar(5)), static_cast<long>(chain.size()));
}

} // namespace
} // namespace tq50r::app
