#include "app_test_support.h"
#include "editor/eq_editor.h"
#include "tq50r_version.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace tq50r::app {
namespace {

using testing::ScriptedWindow;

// The caption: "TQ50R V" and the project's version.
const QString Title = QStringLiteral("TQ50R V" TQ50R_VERSION);
const QString Separator = QStringLiteral("    --");

void trigger(TForm1& form, const char* name) {
    auto* action = form.findChild<QAction*>(QString::fromLatin1(name));
    ASSERT_NE(action, nullptr) << name;
    action->trigger();
}

void expectSameSetting(const eq::EqSetting& actual, const eq::EqSetting& expected) {
    EXPECT_EQ(actual.trimDb, expected.trimDb);
    EXPECT_EQ(actual.bypass, expected.bypass);
    for (int n = 1; n <= eq::BandCount; ++n) {
        SCOPED_TRACE(n);
        const eq::EqBand& a = actual.band(n);
        const eq::EqBand& e = expected.band(n);
        EXPECT_EQ(a.bandType(), e.bandType());
        EXPECT_EQ(a.freqIndex, e.freqIndex);
        EXPECT_EQ(a.qIndex, e.qIndex);
        EXPECT_EQ(a.gainIndex, e.gainIndex);
        EXPECT_EQ(a.off, e.off);
    }
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A preset file's text with one line replaced.
QByteArray presetWithLine(const QByteArray& text, int lineIndex, const QByteArray& line) {
    QList<QByteArray> lines = text.split('\n');
    lines[lineIndex] = line + '\r';
    return lines.join('\n');
}

// Saves a preset at `path` from a window of its own, with `setting` if one is given.
bool savePresetAs(const QString& path, const std::optional<eq::EqSetting>& setting = {}) {
    ScriptedWindow w;
    if (setting)
        w.form->setting() = *setting;
    w.saveNames = {path};
    return w.form->savePreset();
}

eq::EqSetting editedSetting(bool bypass) {
    eq::EqSetting s = eq::startSetting();
    s.trimDb = -6;
    s.bypass = bypass;
    s.band(1).type = 2; // LowShelf, below 1000 Hz
    s.band(1).freqIndex = 100;
    s.band(1).gainIndex = 36;
    s.band(2).type = 3; // HighShelf (type counts on; mod 3 is 0), above 1000 Hz
    s.band(2).freqIndex = 250;
    s.band(2).qIndex = 80;
    s.band(2).gainIndex = 6;
    s.band(3).off = true;
    s.band(3).qIndex = 100;
    s.band(4).freqIndex = 300;
    s.band(4).gainIndex = 48;
    s.band(5).freqIndex = 0;
    s.band(5).gainIndex = 0;
    s.band(5).qIndex = 0;
    return s;
}

TEST(PresetFlow, SaveThenOpenRestoresTrimBypassAndBands) {
    for (bool bypass : {false, true}) {
        SCOPED_TRACE(bypass);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("mix.bin"));

        ScriptedWindow saver;
        saver.form->setting() = editedSetting(bypass);
        saver.saveNames = {path};
        trigger(*saver.form, "SaveAsItem");
        ASSERT_TRUE(QFile::exists(path));

        ScriptedWindow opener;
        opener.answers = {false}; // do not save the present preset first
        opener.openNames = {path};
        trigger(*opener.form, "OpenItem");
        EXPECT_EQ(opener.questions, QStringList{"Do you want to save present preset?"});
        EXPECT_TRUE(opener.messages.isEmpty()) << opener.messages.join('|').toStdString();
        expectSameSetting(opener.form->setting(), editedSetting(bypass));
        EXPECT_EQ(opener.form->windowTitle(), Title + Separator + path);
        EXPECT_EQ(opener.form->eqEditor().trimEdit()->text(), QStringLiteral("-6"));
        EXPECT_EQ(opener.form->eqEditor().faderSyncState() != 0, true);
    }
}

TEST(PresetFlow, SavedStartSettingHasTheKnownLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("start.bin"));
    ASSERT_TRUE(savePresetAs(path));
    const QByteArray text = readAll(path);
    EXPECT_TRUE(text.startsWith("0x01\r\n0x20\r\n0x03\r\n0x40\r\n0x4A\r\n0x14\r\n0x01\r\n0x79\r\n"
                                "0x00\r\n0x00\r\n0x01\r\n0x1E\r\n0x00\r\n0x63\r\n0x30\r\n0x01\r\n"
                                "0x01\r\n0x00\r\n0x00\r\n0x18\r\n0x23\r\n0x00\r\n"));
    EXPECT_TRUE(text.endsWith("0x01\r\n0x05\r\n0x60\r\n"));
    EXPECT_EQ(text.count('\n'), 74);
}

TEST(PresetFlow, SaveAppendsTheSuffixUnlessTheNameEndsInDotBin) {
    const std::pair<const char*, const char*> cases[] = {
        {"preset", "preset.bin"},
        {"preset.bin", "preset.bin"},
        {"PRESET.BIN", "PRESET.BIN.bin"},
        {"a.bin.txt", "a.bin.txt.bin"},
    };
    for (const auto& [chosen, written] : cases) {
        SCOPED_TRACE(chosen);
        QTemporaryDir dir;
        ScriptedWindow w;
        w.saveNames = {dir.filePath(QString::fromLatin1(chosen))};
        EXPECT_TRUE(w.form->savePreset());
        const QString expected = dir.filePath(QString::fromLatin1(written));
        EXPECT_TRUE(QFile::exists(expected));
        EXPECT_EQ(w.form->windowTitle(), Title + Separator + expected);
        EXPECT_TRUE(w.questions.isEmpty());
    }
}

TEST(PresetFlow, ExistingFileIsReplacedOnlyAfterYes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.bin"));
    writeAll(path, "old content");

    ScriptedWindow w;
    w.saveNames = {dir.filePath(QStringLiteral("keep")), path};
    w.answers = {false, true};
    EXPECT_FALSE(w.form->savePreset());
    EXPECT_EQ(readAll(path), QByteArray("old content"));
    EXPECT_EQ(w.form->windowTitle(), Title);
    EXPECT_EQ(w.questions, QStringList{"File has already existed, override?"});

    EXPECT_TRUE(w.form->savePreset());
    EXPECT_TRUE(readAll(path).startsWith("0x01\r\n"));
    EXPECT_EQ(w.form->windowTitle(), Title + Separator + path);
}

TEST(PresetFlow, CancelledDialogsChangeNothing) {
    ScriptedWindow w;
    const eq::EqSetting before = w.form->setting();
    EXPECT_FALSE(w.form->savePreset());
    EXPECT_TRUE(w.questions.isEmpty());
    w.answers = {true}; // save first: the save dialog is cancelled, then the open one too
    EXPECT_FALSE(w.form->openPreset());
    EXPECT_EQ(w.questions, QStringList{"Do you want to save present preset?"});
    EXPECT_EQ(w.form->windowTitle(), Title);
    EXPECT_TRUE(w.messages.isEmpty());
    expectSameSetting(w.form->setting(), before);
}

TEST(PresetFlow, OpenSavesThePresentPresetFirstWhenAsked) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bin"));
    ASSERT_TRUE(savePresetAs(source, editedSetting(false)));
    const QString backup = dir.filePath(QStringLiteral("backup.bin"));
    ScriptedWindow w;
    w.answers = {true};
    w.saveNames = {backup};
    w.openNames = {source};
    EXPECT_TRUE(w.form->openPreset());
    EXPECT_TRUE(QFile::exists(backup));
    EXPECT_EQ(w.form->windowTitle(), Title + Separator + source);
    expectSameSetting(w.form->setting(), editedSetting(false));
}

TEST(PresetFlow, FailedOpenLeavesSettingAndCaptionAlone) {
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("good.bin"));
    ASSERT_TRUE(savePresetAs(good));
    const QByteArray text = readAll(good);
    struct Case {
        const char* name;
        QByteArray content; // empty: no such file
        bool invalidFile;   // "Invalid file" rather than the reader's own message
    };
    const Case cases[] = {
        {"first-byte.bin", presetWithLine(text, 0, "0x02"), true},
        {"command.bin", presetWithLine(text, 5, "0x15"), true},
        {"not-a-number.bin", presetWithLine(text, 9, "zz"), false},
        {"short.bin", text.left(40), false},
        {"missing.bin", {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        if (!c.content.isEmpty())
            writeAll(path, c.content);
        ScriptedWindow w;
        w.form->setting() = editedSetting(true);
        w.answers = {false};
        w.openNames = {path};
        EXPECT_FALSE(w.form->openPreset());
        ASSERT_EQ(w.messages.size(), 1);
        if (c.invalidFile) {
            EXPECT_EQ(w.messages.front(), QStringLiteral("Invalid file"));
        } else {
            EXPECT_NE(w.messages.front(), QStringLiteral("Invalid file"));
            EXPECT_FALSE(w.messages.front().trimmed().isEmpty());
        }
        EXPECT_EQ(w.form->windowTitle(), Title);
        expectSameSetting(w.form->setting(), editedSetting(true));
    }
}

TEST(PresetFlow, UnwritableTargetLeavesTheCaption) {
    QTemporaryDir dir;
    ScriptedWindow w;
    w.saveNames = {dir.filePath(QStringLiteral("no/such/folder/p.bin"))};
    EXPECT_FALSE(w.form->savePreset());
    ASSERT_EQ(w.messages.size(), 1);
    EXPECT_FALSE(w.messages.front().isEmpty());
    EXPECT_EQ(w.form->windowTitle(), Title);
}

} // namespace
} // namespace tq50r::app
