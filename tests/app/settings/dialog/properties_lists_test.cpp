#include "settings/dialog/properties_lists.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

TEST(PropertiesLists, PortItemsHaveTwoBlanksBeforeTheNumberAndReadBack) {
    const QStringList items = comPortItems();
    ASSERT_EQ(items.size(), 16);
    EXPECT_EQ(items.first(), QStringLiteral("COM  1"));
    EXPECT_EQ(items[11], QStringLiteral("COM  12"));
    for (int i = 0; i < items.size(); ++i) {
        EXPECT_EQ(comPortNumber(items[i]), i + 1);
    }
    EXPECT_EQ(comPortNumber(comPortItem(20)), 20);
    EXPECT_EQ(comPortNumber(comPortItem(-1)), -1);
}

TEST(PropertiesLists, IndexFunctionsMapEveryListedTextAndFallBackToTheFirstItem) {
    const QStringList bauds = baudRateItems();
    for (int i = 0; i < bauds.size(); ++i) {
        EXPECT_EQ(getBaudRateIndex(bauds[i]), i);
    }
    EXPECT_EQ(getBaudRateIndex(QStringLiteral("14400")), 0);
    EXPECT_EQ(getBaudRateIndex(QStringLiteral(" 9600")), 0);

    EXPECT_EQ(getDataIndex(QStringLiteral("8")), 1);
    EXPECT_EQ(getDataIndex(QStringLiteral("5")), 0);
    EXPECT_EQ(getStopIndex(QStringLiteral("2")), 1);
    EXPECT_EQ(getStopIndex(QStringLiteral("1.5")), 0);

    // The port reports its parity letter in lower case; only that form is read.
    EXPECT_EQ(getParityIndex(QStringLiteral("n")), 0);
    EXPECT_EQ(getParityIndex(QStringLiteral("o")), 1);
    EXPECT_EQ(getParityIndex(QStringLiteral("e")), 2);
    EXPECT_EQ(getParityIndex(QStringLiteral("E")), 0);
    EXPECT_EQ(getParityIndex(QStringLiteral("m")), 0);
}

TEST(PropertiesLists, ItemTextsConvertToTheValuesTheyStandFor) {
    EXPECT_EQ(getParity(QStringLiteral("No Parity")), QStringLiteral("N"));
    EXPECT_EQ(getParity(QStringLiteral("Odd Parity")), QStringLiteral("O"));
    EXPECT_EQ(getParity(QStringLiteral("Even Parity")), QStringLiteral("E"));
    EXPECT_EQ(getParity(QStringLiteral("even parity")), QString());

    const QStringList handshakes = handshakeItems();
    ASSERT_EQ(handshakes.size(), 4);
    for (int code = 0; code < handshakes.size(); ++code) {
        EXPECT_EQ(getHandShake(handshakes[code]), code);
    }
    EXPECT_EQ(getHandShake(QStringLiteral("rts")), 0);
}

TEST(PropertiesLists, TaggedListsAreFoundByTagWithTheFirstItemForUnknownModes) {
    EXPECT_EQ(getExtConversionIndex(0), 0);
    EXPECT_EQ(getExtConversionIndex(1), 1);
    for (int mode : {2, 3, 4, -1}) {
        EXPECT_EQ(getExtConversionIndex(mode), 0) << mode;
    }
    EXPECT_EQ(getVXBTSecurityIndex(1), 1);
    EXPECT_EQ(getVXBTSecurityIndex(7), 0);
}

TEST(PropertiesLists, SettingsSplitAtTheFirstThreeCommas) {
    const PortSettingsFields fields = splitPortSettings(QStringLiteral("19200,e,7,2,x"));
    EXPECT_EQ(fields.baud, QStringLiteral("19200"));
    EXPECT_EQ(fields.parity, QStringLiteral("e"));
    EXPECT_EQ(fields.data, QStringLiteral("7"));
    EXPECT_EQ(fields.stop, QStringLiteral("2,x"));

    const PortSettingsFields shorter = splitPortSettings(QStringLiteral("9600,n"));
    EXPECT_EQ(shorter.parity, QStringLiteral("n"));
    EXPECT_TRUE(shorter.data.isEmpty());
    EXPECT_TRUE(shorter.stop.isEmpty());
}

TEST(PropertiesLists, OkConfirmsTheFirstSetupOnlyDuringAFirstLaunch) {
    FirstLaunchFlags later;
    propertiesAccepted(later);
    EXPECT_TRUE(later.FormPropertiesOK);
    EXPECT_FALSE(later.SettingsForFirstLaunchCoerrectlyPerformed);

    FirstLaunchFlags first{.ThisWasFirstLaunch = true};
    propertiesAccepted(first);
    EXPECT_TRUE(first.SettingsForFirstLaunchCoerrectlyPerformed);

    propertiesCancelled(first);
    EXPECT_FALSE(first.FormPropertiesOK);
    EXPECT_TRUE(first.SettingsForFirstLaunchCoerrectlyPerformed);
}

} // namespace
} // namespace vxorv
