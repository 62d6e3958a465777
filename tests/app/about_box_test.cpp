#include "app/about_box.h"
#include "app/app_info.h"
#include "app/app_style.h"
#include "tq50r_version.h"
#include "widgets/link_label.h"

#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>

namespace tq50r::app {
namespace {

// The program's style is Fusion; the menu bar's overflow arrow is read late but is Fusion's.
TEST(ApplicationStyle, IsFusionWithTheSameIcons) {
    std::unique_ptr<QStyle> style(makeApplicationStyle());
    std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    for (const auto icon :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton,
          QStyle::SP_MessageBoxInformation, QStyle::SP_DialogOkButton}) {
        const QIcon ours = style->standardIcon(icon);
        const QIcon theirs = fusion->standardIcon(icon);
        EXPECT_EQ(ours.isNull(), theirs.isNull()) << icon;
        EXPECT_EQ(ours.availableSizes(), theirs.availableSizes()) << icon;
        for (const int side : {8, 16, 32})
            EXPECT_EQ(ours.pixmap(side).toImage(), theirs.pixmap(side).toImage())
                << icon << " at " << side;
    }
    EXPECT_EQ(style->pixelMetric(QStyle::PM_ButtonMargin),
              fusion->pixelMetric(QStyle::PM_ButtonMargin));
    EXPECT_EQ(style->standardPalette(), fusion->standardPalette());
}

TEST(AboutBox, VersionIsTheTitleTail) {
    const std::pair<QString, QString> cases[] = {
        {"TQ50R V1.2.3", "1.2.3"},
        {"TQ50R V6.1.20", ".1.20"},
        {"abc", "abc"},
        {"", ""},
    };
    for (const auto& [title, version] : cases)
        EXPECT_EQ(versionFromTitle(title), version) << title.toStdString();
}

// The box shows the last five characters of the title: a project version of another length
// (5.0.10) would be shown cut.
TEST(AboutBox, ShowsTheWholeProjectVersion) {
    TfmAbout box(ApplicationTitle);
    box.show();
    EXPECT_EQ(box.verLb()->text(), QStringLiteral(TQ50R_VERSION));
}

TEST(AboutBox, ShowsProductAndVersionWithItsHiddenControls) {
    TfmAbout box(QStringLiteral("TQ50R V1.2.3"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(box.size(), QSize(313, 148));
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(box.verLb()->text().isEmpty()); // filled when shown

    box.show();
    EXPECT_EQ(box.verLb()->text(), QStringLiteral("1.2.3"));
    QStringList texts;
    for (const QLabel* label : box.findChildren<QLabel*>())
        if (label->isVisible())
            texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Product Name:")));
    EXPECT_TRUE(texts.contains(QStringLiteral("TQ50R")));
    EXPECT_TRUE(texts.contains(QStringLiteral("Version:")));
    EXPECT_EQ(box.verLb()->pos(), QPoint(171, 32));
    // The fixed positions leave room for each text: no label runs into another or off the box.
    const QList<QLabel*> labels = box.findChildren<QLabel*>();
    for (const QLabel* a : labels) {
        if (!a->isVisible())
            continue;
        EXPECT_LE(a->geometry().right(), a->parentWidget()->width()) << a->text().toStdString();
        for (const QLabel* b : labels) {
            if (a != b && b->isVisible()) {
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << a->text().toStdString() << " / " << b->text().toStdString();
            }
        }
    }

    EXPECT_FALSE(box.UnlURLLabel1()->isVisible());
    EXPECT_EQ(box.UnlURLLabel1()->geometry(), QRect(110, 100, 108, 13));
    auto* ok = box.findChild<QPushButton*>(QStringLiteral("Button1"));
    ASSERT_NE(ok, nullptr);
    EXPECT_FALSE(ok->isVisible());
    box.Button1Click();
    EXPECT_FALSE(box.isVisible());
}

TEST(AboutBox, ShowsTheApplicationIconAtEverySizeTheDesktopUses) {
    const QIcon icon = applicationIcon();
    QList<QSize> sizes = icon.availableSizes();
    std::sort(sizes.begin(), sizes.end(), [](QSize a, QSize b) { return a.width() < b.width(); });
    const QList<QSize> expected = {{16, 16}, {22, 22}, {24, 24},   {32, 32},
                                   {48, 48}, {64, 64}, {128, 128}, {256, 256}};
    EXPECT_EQ(sizes, expected);

    TfmAbout box(QStringLiteral("TQ50R V1.2.3"));
    auto* logo = box.findChild<QLabel*>(QStringLiteral("Image1"));
    ASSERT_NE(logo, nullptr);
    const QImage shown = logo->pixmap().toImage();
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.size(), QSize(57, 57));
    // A drawn picture, not an empty or failed one: the icon's plate covers most of the square.
    int opaque = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            opaque += qAlpha(shown.pixel(x, y)) == 255 ? 1 : 0;
    EXPECT_GT(opaque, shown.width() * shown.height() * 3 / 4);
}

TEST(AboutBox, LinkClickTakesItsCaptionAsAddress) {
    QStringList opened;
    const widgets::UrlOpener previous = widgets::setUrlOpener([&](const QString& url) {
        opened << url;
        return true;
    });
    TfmAbout box(QStringLiteral("TQ50R V1.2.3"));
    widgets::TUnlURLLabel* link = box.UnlURLLabel1();
    const QString caption = link->text();
    EXPECT_TRUE(link->URL().isEmpty());
    link->Click();
    EXPECT_EQ(link->URL(), caption);
    EXPECT_EQ(opened, QStringList{caption});
    widgets::setUrlOpener(previous);
}

} // namespace
} // namespace tq50r::app
