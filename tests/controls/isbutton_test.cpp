// isButton's OpenLink through a recording opener, its property table, and the link addresses.
#include <gtest/gtest.h>

#include <stdexcept>

#include "controls/isbutton.h"
#include "controls/linkopener.h"
#include "controls/links.h"
#include "controls/propertybag.h"
#include "qtapp.h"

namespace {

class RecordingOpener : public LinkOpener {
public:
    int32_t Open(const QString& link) override {
        opened.push_back(link);
        if (fail) {
            throw std::runtime_error("no browser");
        }
        return result;
    }
    std::vector<QString> opened;
    int32_t result = 42;
    bool fail = false;
};

}  // namespace

TEST(IsButtonTest, OpenLinkPassesTheAddressAndReturnsTheResultUnchanged) {
    TestApp();
    RecordingOpener opener;
    isButton button(opener);
    EXPECT_EQ(button.OpenLink(links::kDonate), 42);
    opener.result = 2;
    EXPECT_EQ(button.OpenLink(links::kHelp), 2);
    ASSERT_EQ(opener.opened.size(), 2u);
    EXPECT_EQ(opener.opened[0], QString(links::kDonate));
    EXPECT_EQ(opener.opened[1], QString(links::kHelp));
    opener.fail = true;
    EXPECT_EQ(button.OpenLink(links::kHomepage), 0);
    EXPECT_EQ(button.Version(), "3.6.2");
}

TEST(IsButtonTest, PropertiesAreStoredUnderTheirKeysWithTheirDefaults) {
    TestApp();
    RecordingOpener opener;
    isButton fresh(opener);
    PropertyBag bag;
    fresh.WriteProperties(bag);
    EXPECT_TRUE(bag.Keys().isEmpty());
    EXPECT_EQ(fresh.Property("Style").toInt(), 3);
    EXPECT_EQ(fresh.Property("NonThemeStyle").toInt(), 5);
    EXPECT_EQ(fresh.Property("MaskColor").toUInt(), 0xC0C0C0u);
    EXPECT_TRUE(fresh.Property("RoundedBordersByTheme").toBool());

    // The cutting window's instance.
    isButton window(opener);
    window.SetProperty("Caption", QStringLiteral("isButton"));
    window.SetProperty("ToolTipTitle", QString());
    window.SetProperty("ToolTipIcon", 0);
    window.SetProperty("ToolTipType", 1);
    window.SetProperty("NonThemeStyle", 2);
    window.SetProperty("RightToLeft", true);
    window.SetProperty("UseCustomColors", true);
    window.SetProperty("ToolTipText", QStringLiteral("tip"));
    PropertyBag saved;
    window.WriteProperties(saved);
    EXPECT_EQ(saved.Keys(), QStringList({"iNonThemeStyle", "USeCustomColors", "ToolTipText", "bRTLText"}));
    isButton loaded(opener);
    loaded.ReadProperties(saved);
    EXPECT_EQ(loaded.Property("NonThemeStyle").toInt(), 2);
    EXPECT_TRUE(loaded.Property("RightToLeft").toBool());
    EXPECT_EQ(loaded.toolTip(), "tip");
    EXPECT_FALSE(loaded.Property("NoSuchProperty").isValid());
}

TEST(LinkAddresses, EveryAddressIsOneTheDesktopOpenerAccepts) {
    for (const char* link : {links::kHomepage, links::kHelp, links::kDonate, links::kOtherSite1,
                             links::kOtherSite2, links::kOtherSite3, links::kJoinerProduct}) {
        EXPECT_TRUE(DesktopLinkOpener::IsOpenableAddress(link)) << link;
        EXPECT_TRUE(QString(link).startsWith("https://")) << link;
    }
    EXPECT_TRUE(DesktopLinkOpener::IsOpenableAddress(QStringLiteral("mailto:") + links::kSupportEmail));
    // Nothing but web and mail addresses is handed to the desktop.
    DesktopLinkOpener opener;
    for (const char* bad : {"file:///etc/passwd", "/usr/bin/xterm", "rm -rf ~", "", "https://",
                            "javascript:alert(1)", "smb://server/share"}) {
        EXPECT_FALSE(DesktopLinkOpener::IsOpenableAddress(bad)) << bad;
        EXPECT_LE(opener.Open(bad), 32) << bad;
    }
}
