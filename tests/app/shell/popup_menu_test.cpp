#include "shell/popup_menu.hpp"

#include <gtest/gtest.h>

namespace vxorv {
namespace {

class PopupMenuTest : public testing::Test {
  protected:
    PopupMenuState state;
    QStringList ran;
    PopupMenu popup{{.state = [this] { return state; },
                     .start = [this] { ran << QStringLiteral("start"); },
                     .stop = [this] { ran << QStringLiteral("stop"); },
                     .properties = [this] { ran << QStringLiteral("properties"); },
                     .about = [this] { ran << QStringLiteral("about"); },
                     .exit = [this] { ran << QStringLiteral("exit"); }}};
};

TEST_F(PopupMenuTest, ItemsAndCaptionsInOrder) {
    QStringList captions;
    for (const QAction* action : popup.actions()) {
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
        EXPECT_FALSE(action->isCheckable());
    }
    EXPECT_EQ(captions,
              (QStringList{"&Start", "Sto&p", "&Properties", "-", "&About", "-", "&Exit"}));
    EXPECT_EQ(popup.actions()[3], popup.sepMenu1);
    EXPECT_EQ(popup.actions()[5], popup.sepMenu2);
}

TEST_F(PopupMenuTest, StartAndStopFollowTheStateWhenTheMenuOpens) {
    for (const PopupMenuState s :
         {PopupMenuState{true, false}, PopupMenuState{false, true}, PopupMenuState{false, false}}) {
        state = s;
        emit popup.aboutToShow();
        EXPECT_EQ(popup.startMenu->isEnabled(), s.startEnabled);
        EXPECT_EQ(popup.stopMenu->isEnabled(), s.stopEnabled);
        EXPECT_TRUE(popup.propertiesMenu->isEnabled());
        EXPECT_TRUE(popup.aboutMenu->isEnabled());
        EXPECT_TRUE(popup.exitMenu->isEnabled());
    }
}

TEST_F(PopupMenuTest, EachItemRunsItsCommand) {
    for (QAction* item :
         {popup.startMenu, popup.stopMenu, popup.propertiesMenu, popup.aboutMenu, popup.exitMenu}) {
        item->trigger();
    }
    EXPECT_EQ(ran, (QStringList{"start", "stop", "properties", "about", "exit"}));
}

} // namespace
} // namespace vxorv
