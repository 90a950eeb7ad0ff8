// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The chart's navigation buttons and the age field, driven through the window's handlers.
#include <gtest/gtest.h>

#include "form_fixture.h"
#include "recorder/utf8.h"

namespace npt {
namespace {

using namespace npt::test;

struct LoadedRig : FormRig {
    fs::path file;
    explicit LoadedRig(const fs::path& dir) {
        file = writeImage(dir / "night.txt", makeImage(ImageOptions().withRamp()));
        EXPECT_TRUE(form.loadRecording(file.string()));
        view.clearMessages();
    }
};

TEST(ChartButtonsTest, SmoothingDownToZeroThenRefused) {
    LoadedRig rig(scratchDir("app"));
    const auto periodOne = rig.form.chart().series2().ys();
    rig.form.Filter_plusClick();
    EXPECT_EQ(rig.form.chart().period(), 2);
    rig.form.Filter_minusClick();
    rig.form.Filter_minusClick();
    EXPECT_EQ(rig.form.chart().period(), 0);
    EXPECT_TRUE(rig.view.messages().empty());
    // Period 0 shows the curve unsmoothed, as Period 1 does.
    EXPECT_EQ(rig.form.chart().series2().ys(), periodOne);

    rig.form.Filter_minusClick();
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_EQ(rig.view.messages()[0].title, kErrorTitle);
    EXPECT_NE(rig.view.messages()[0].text.find("Function Period should be >= 0"),
              std::string::npos);
    EXPECT_EQ(rig.form.chart().period(), 0);
}

TEST(ChartButtonsTest, ZoomStaysFrozenAcrossLoadsUntilReset) {
    LoadedRig rig(scratchDir("app"));
    rig.form.ZoomPlusClick();
    rig.form.HplusClick();
    const AxisState left = rig.form.chart().axis(AxisId::Left);
    const AxisState bottom = rig.form.chart().axis(AxisId::Bottom);
    EXPECT_FALSE(left.automaticMaximum);
    EXPECT_FALSE(bottom.automaticMaximum);
    EXPECT_TRUE(rig.view.messages().empty());

    rig.form.Filter_plusClick();
    rig.form.Filter_plusClick();
    ASSERT_TRUE(rig.form.loadRecording(rig.file.string()));
    EXPECT_EQ(rig.form.chart().period(), 1);  // a load takes the smoothing back to 1
    EXPECT_EQ(rig.form.chart().axis(AxisId::Left), left);
    EXPECT_EQ(rig.form.chart().axis(AxisId::Bottom), bottom);

    rig.form.Filter_plusClick();
    const auto before = rig.view.chartChanges;
    rig.form.ZoomResetClick();
    EXPECT_GT(rig.view.chartChanges, before);
    EXPECT_EQ(rig.form.chart().axis(AxisId::Left), AxisState{});
    EXPECT_EQ(rig.form.chart().axis(AxisId::Bottom), AxisState{});
    EXPECT_EQ(rig.form.chart().period(), 1);
}

TEST(ChartButtonsTest, ZoomStepsFromTheRangeOnScreen) {
    using Handler = void (TTMForm::*)();
    struct Step {
        Handler click;
        double expectedMaximum;
    };
    struct Case {
        const char* label;
        AxisId axis;
        ValueRange drawn;
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"diameter",
         AxisId::Left,
         {20, 30},
         {{&TTMForm::ZoomPlusClick, 25},
          {&TTMForm::ZoomPlusClick, 25},  // 20 to 20 is ignored
          {&TTMForm::ZoomMinusClick, 30}}},
        {"time",
         AxisId::Bottom,
         {1.0, 1.25},
         {{&TTMForm::HplusClick, 1.15},
          {&TTMForm::HplusClick, 1.05},
          {&TTMForm::HplusClick, 1.05},  // 0.95 is ignored
          {&TTMForm::HMinusClick, 1.15}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LoadedRig rig(scratchDir("app"));
        rig.form.chart().reportDrawnRange(c.axis, c.drawn);
        for (const Step& step : c.steps) {
            (rig.form.*step.click)();
            const AxisState& axis = rig.form.chart().axis(c.axis);
            EXPECT_FALSE(axis.automaticMinimum);
            EXPECT_FALSE(axis.automaticMaximum);
            EXPECT_DOUBLE_EQ(axis.minimum, c.drawn.min);
            EXPECT_NEAR(axis.maximum, step.expectedMaximum, 1e-12);
        }
        // The other axis is left alone.
        const AxisId other = c.axis == AxisId::Left ? AxisId::Bottom : AxisId::Left;
        EXPECT_EQ(rig.form.chart().axis(other), AxisState{});
        EXPECT_TRUE(rig.view.messages().empty());
    }
}

TEST(ChartButtonsTest, ButtonsBeforeAnyRecordingAreHarmless) {
    FormRig rig;
    for (auto click : {&TTMForm::ZoomPlusClick, &TTMForm::ZoomMinusClick, &TTMForm::HplusClick,
                       &TTMForm::HMinusClick, &TTMForm::ZoomResetClick, &TTMForm::Filter_plusClick,
                       &TTMForm::Filter_minusClick}) {
        (rig.form.*click)();
    }
    EXPECT_TRUE(rig.view.messages().empty());
    EXPECT_EQ(rig.form.chart().series2().count(), 0u);
}

TEST(ChartButtonsTest, OnAnEmptyChartZoomStepsFromTheNightAndFiftyMillimetresOnScreen) {
    using Handler = void (TTMForm::*)();
    struct Case {
        Handler click;
        AxisId axis;
        ValueRange expected;
    };
    const Case cases[] = {
        {&TTMForm::ZoomMinusClick, AxisId::Left, {0, 55}},
        {&TTMForm::ZoomPlusClick, AxisId::Left, {0, 45}},
        {&TTMForm::HMinusClick, AxisId::Bottom, {22.0 / 24, 34.0 / 24 + 0.1}},
        {&TTMForm::HplusClick, AxisId::Bottom, {22.0 / 24, 34.0 / 24 - 0.1}},
    };
    for (const Case& c : cases) {
        FormRig rig;
        (rig.form.*c.click)();
        const AxisState& axis = rig.form.chart().axis(c.axis);
        EXPECT_FALSE(axis.automaticMaximum);
        EXPECT_DOUBLE_EQ(axis.minimum, c.expected.min);
        EXPECT_NEAR(axis.maximum, c.expected.max, 1e-12);
    }
}

// Types each key as the window does: the key press filter, insertion at the caret within the
// field's two characters, then the release; U'\b' is Backspace.
std::string typeInto(FormRig& rig, const std::u32string& keys) {
    constexpr std::size_t kAgeMaxLength = 2;
    for (char32_t key : keys) {
        if (const auto accepted = rig.form.OldKeyPress(key)) {
            std::u32string text = utf8::decode(rig.view.text(Control::Old)).value();
            if (text.size() < kAgeMaxLength) {
                const std::size_t caret = std::min(rig.view.caret(Control::Old), text.size());
                text.insert(caret, 1, *accepted);
                rig.view.setText(Control::Old, utf8::encode(text));
                rig.view.setCaret(Control::Old, caret + 1);
            }
        }
        rig.form.OldKeyUp(key == U'\b');
    }
    return rig.view.text(Control::Old);
}

TEST(AgeFieldTest, TypedKeys) {
    struct Case {
        std::u32string keys;
        const char* shown;
    };
    const Case cases[] = {
        {U"47", "47"},    {U"4a7", "47"},  {U"4 5", "45"}, {U"07", "7"},   {U"10", "10"},
        {U"00", "00"},    {U",5", "0,"},   {U"4.5", "4,"}, {U"4б", "4,"},  {U"4Ю", "4,"},
        {U"4/", "4,"},    {U"4,,", "4,"},  {U"47\b", "4"}, {U"4\b\b", ""}, {U"\b", ""},
        {U"47\b5", "45"}, {U"\u00C1", ""}, {U"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8::encode(c.keys));
        FormRig rig;
        rig.view.setText(Control::Old, "");
        EXPECT_EQ(typeInto(rig, c.keys), c.shown);
        EXPECT_EQ(rig.view.caret(Control::Old), utf8::decode(c.shown)->size());
        EXPECT_TRUE(rig.view.messages().empty());
    }
}

TEST(AgeFieldTest, PastedTextThatIsNoNumberIsReported) {
    FormRig rig;
    rig.view.setText(Control::Old, "сорок");
    rig.form.OldKeyUp(false);
    ASSERT_EQ(rig.view.messages().size(), 1u);
    EXPECT_EQ(rig.view.messages()[0].icon, MessageIcon::Error);
    EXPECT_EQ(rig.view.text(Control::Old), "сорок");
}

}  // namespace
}  // namespace npt
