#include "shell/form1.hpp"

#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

namespace vxorv {
namespace {

QColor textColour(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

TEST(Form1, IdentityTextsAndTheReleaseShadowWithoutItsNumber) {
    Form1 form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("VX Orvex"));
    EXPECT_EQ(form.size(), QSize(447, 272)) << "the identity panel and the status line under it";
    EXPECT_EQ(form.lblApplicationName->text(), QStringLiteral("VX Orvex"));
    EXPECT_EQ(form.lblAppName_Shad->text(), QStringLiteral("VX Orvex"));
    EXPECT_EQ(form.lblSoftwareRelease->text(), QStringLiteral("Software Release 2.01.050525"));
    EXPECT_EQ(form.lblSoftwareRelease_Shad->text(), QStringLiteral("Software Release "));
    EXPECT_FALSE(form.lblCompany->text().isEmpty());
    EXPECT_EQ(form.lblCompanyName_Shad->text(), form.lblCompany->text());
    EXPECT_FALSE(form.lblCopyright->text().isEmpty());
    EXPECT_EQ(form.lblCopyright_Shad->text(), form.lblCopyright->text());
}

TEST(Form1, ShadowsSit70TwipsRightAndBelowTheirControls) {
    Form1 form;
    EXPECT_EQ(form.lblApplicationName->pos(), QPoint(80, 80));
    EXPECT_EQ(form.lblAppName_Shad->pos(), QPoint(85, 85));
    EXPECT_EQ(form.lblSoftwareRelease_Shad->pos(), QPoint(85, 117));
    EXPECT_EQ(form.lblCompanyName_Shad->pos(), QPoint(85, 141));
    EXPECT_EQ(form.lblCopyright_Shad->pos(), QPoint(85, 165));
    EXPECT_EQ(form.imgKEyb->geometry(), QRect(24, 56, 32, 32));
    EXPECT_EQ(form.imgKeyb_Shad->geometry(), QRect(29, 61, 32, 32));
    for (auto [label, shadow] : {std::pair{form.lblApplicationName, form.lblAppName_Shad},
                                 {form.lblCopyright, form.lblCopyright_Shad}}) {
        EXPECT_EQ(shadow->size(), label->size());
        EXPECT_EQ(shadow->font(), label->font());
        EXPECT_EQ(textColour(shadow), QColor(229, 229, 229));
    }
}

TEST(Form1, FontsColoursAndPlaces) {
    Form1 form;
    EXPECT_DOUBLE_EQ(form.lblApplicationName->font().pointSizeF(), 11.25);
    EXPECT_TRUE(form.lblApplicationName->font().bold());
    EXPECT_DOUBLE_EQ(form.lblSoftwareRelease->font().pointSizeF(), 9.75);
    EXPECT_EQ(textColour(form.lblSoftwareRelease), QColor(128, 128, 128));
    EXPECT_EQ(textColour(form.lblCompany), QColor(128, 128, 128));
    EXPECT_DOUBLE_EQ(form.lblCopyright->font().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(form.lblVxbtDllVersion->font().pointSizeF(), 8.25);
    EXPECT_EQ(form.lblVxbtDllVersion->geometry(), QRect(152, 232, 281, 17));
    EXPECT_TRUE(form.btnStart->font().bold());
    EXPECT_DOUBLE_EQ(form.btnStart->font().pointSizeF(), 9.0);
    EXPECT_EQ(form.Image1->geometry(), QRect(-56, 0, 496, 255));
    EXPECT_FALSE(form.Image1->pixmap().isNull());

    const std::vector<std::pair<QPushButton*, const char*>> buttons{
        {form.btnStart, "&Start"},
        {form.btnStop, "Sto&p"},
        {form.btnProperties, "&Properties"},
        {form.btnHide, "&Hide"},
        {form.btnExit, "&Exit"}};
    int top = 40;
    for (auto [button, text] : buttons) {
        EXPECT_EQ(button->text(), QString::fromLatin1(text));
        EXPECT_EQ(button->geometry(), QRect(344, top, 67, 25));
        EXPECT_TRUE(button->isEnabled());
        top += 32;
    }
    EXPECT_TRUE(form.imgStarted->isHidden());
    EXPECT_TRUE(form.imgStopped->isHidden());
    EXPECT_EQ(form.imgStarted->pixmap().size(), QSize(16, 16));
}

TEST(Form1, LabelsStackAboveTheirShadowsAboveTheBackground) {
    Form1 form;
    const QObjectList stack = form.children(); // bottom first
    auto level = [&stack](const QObject* widget) { return stack.indexOf(widget); };
    EXPECT_EQ(level(form.Image1), 0);
    EXPECT_LT(level(form.lblAppName_Shad), level(form.lblApplicationName));
    EXPECT_LT(level(form.lblSoftwareRelease_Shad), level(form.lblSoftwareRelease));
    EXPECT_LT(level(form.imgKeyb_Shad), level(form.imgKEyb));
    EXPECT_FALSE(form.lblApplicationName->autoFillBackground());
}

TEST(Form1, TabOrderOfTheButtons) {
    Form1 form;
    const std::vector<QWidget*> order{form.btnProperties, form.btnExit, form.btnStart, form.btnStop,
                                      form.btnHide};
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1]) << i;
    }
}

TEST(Form1, CloseRequestGoesToTheHandlerUntilTheProgramEnds) {
    Form1 form;
    int requests = 0;
    form.setOnCloseRequest([&requests] { ++requests; });
    form.show();
    EXPECT_FALSE(form.close());
    EXPECT_EQ(requests, 1);

    form.allowClose();
    EXPECT_TRUE(form.close());
    EXPECT_EQ(requests, 1);
}

} // namespace
} // namespace vxorv
