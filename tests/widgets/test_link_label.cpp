#include "widgets/link_label.h"

#include <QTest>
#include <gtest/gtest.h>
#include <vector>

using tq50r::widgets::TUnlURLLabel;

namespace {

// Records what the label asks the desktop to open, in order with the
// label's own click notifications.
struct Recorder {
    std::vector<QString> events;
    tq50r::widgets::UrlOpener previous;

    Recorder() {
        previous = tq50r::widgets::setUrlOpener([this](const QString& url) {
            events.push_back(QStringLiteral("open:") + url);
            return true;
        });
    }
    ~Recorder() { tq50r::widgets::setUrlOpener(previous); }
    void watch(TUnlURLLabel& label) {
        QObject::connect(&label, &TUnlURLLabel::OnClick,
                         [this] { events.push_back(QStringLiteral("click")); });
    }
};

} // namespace

TEST(LinkLabel, LooksLikeALink) {
    TUnlURLLabel label;
    EXPECT_TRUE(label.URL().isEmpty());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(label.font().underline());
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
}

TEST(LinkLabel, SetUrlChangesCaptionAndAddress) {
    TUnlURLLabel label;
    label.setText(QStringLiteral("old caption"));
    label.SetURL(QStringLiteral("www.example.com"));
    EXPECT_EQ(label.URL(), QStringLiteral("www.example.com"));
    EXPECT_EQ(label.text(), QStringLiteral("www.example.com"));
}

TEST(LinkLabel, ClickNotifiesFirstThenOpens) {
    Recorder rec;
    TUnlURLLabel label;
    rec.watch(label);
    label.Click();
    EXPECT_EQ(rec.events, (std::vector<QString>{QStringLiteral("click"), QStringLiteral("open:")}));

    // A click handler that takes the caption as the address is honoured at once.
    Recorder rec2;
    TUnlURLLabel about;
    about.setText(QStringLiteral("https://example.com/"));
    rec2.watch(about);
    QObject::connect(&about, &TUnlURLLabel::OnClick, [&about] { about.SetURL(about.text()); });
    about.Click();
    EXPECT_EQ(rec2.events, (std::vector<QString>{QStringLiteral("click"),
                                                 QStringLiteral("open:https://example.com/")}));
}

TEST(LinkLabel, OnlyALeftClickReleasedOverTheLabelCounts) {
    struct Case {
        Qt::MouseButton button;
        bool pressed; // a release without a press on the label is not a click either
        QPoint release;
        size_t expectedEvents;
    };
    const Case cases[] = {
        {Qt::LeftButton, true, QPoint(5, 5), 2},
        {Qt::LeftButton, true, QPoint(500, 5), 0},
        {Qt::RightButton, true, QPoint(5, 5), 0},
        {Qt::LeftButton, false, QPoint(5, 5), 0},
    };
    for (const Case& c : cases) {
        Recorder rec;
        TUnlURLLabel label;
        label.resize(100, 15);
        label.SetURL(QStringLiteral("https://example.com/"));
        rec.watch(label);
        if (c.pressed) {
            QTest::mousePress(&label, c.button, {}, QPoint(5, 5));
        }
        QTest::mouseRelease(&label, c.button, {}, c.release);
        EXPECT_EQ(rec.events.size(), c.expectedEvents)
            << c.button << " " << c.pressed << " " << c.release.x();
    }
}

TEST(LinkLabel, DesktopOpenerDeclinesAnythingButWebAndMailAddresses) {
    // None of these may reach the desktop: each must be refused before it is
    // handed on, so this test never starts a program or a browser.
    const char* refused[] = {"",
                             "   ",
                             "/usr/bin/xterm",
                             "file:///etc/passwd",
                             "javascript:alert(1)",
                             "ftp://example.com/file",
                             "smb://server/share"};
    for (const char* text : refused) {
        EXPECT_FALSE(tq50r::widgets::openWithDesktop(QString::fromLatin1(text))) << text;
    }
}
