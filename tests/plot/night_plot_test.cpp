// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The night's drawing: ticks and their texts, the mapping of values to the plot, and what is
// painted of curves and bands, on small images.
#include "plot/night_plot.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <limits>

namespace npt::plot {
namespace {

void ensureApplication() {
    // Never destroyed: tearing Qt down among the program's static destructors crashes.
    static QGuiApplication* app = nullptr;
    if (app == nullptr) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "plot_tests";
        static char* argv[] = {name, nullptr};
        app = new QGuiApplication(argc, argv);
    }
}

TEST(NightPlot, TickTextsShowTheTimeOfDayAlsoPastMidnight) {
    struct Case {
        double days;
        const char* window;
        const char* report;
    };
    const Case cases[] = {
        {22.0 / 24, "22.00.00", "22:00"},
        {1.0, "00.00.00", "00:00"},
        {1.5, "12.00.00", "12:00"},
        {1 + 1.0 / 86400, "00.00.01", "00:00"},
        {0.9999999, "00.00.00", "00:00"},
        {2.25, "06.00.00", "06:00"},
        {1 + 1.0 / 24 - 1e-9, "01.00.00", "01:00"},  // a tick a hair below its minute
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.days);
        EXPECT_EQ(secondsTickText(c.days), c.window);
        EXPECT_EQ(minutesTickText(c.days), c.report);
    }
}

TEST(NightPlot, TicksAreCountedFromTheFirstRoundValueToTheEndOfTheRange) {
    struct Case {
        axis_scale::Scale scale;
        bool time;
        std::size_t count;
        const char* first;
        const char* last;
    };
    const Case cases[] = {
        // A night on whole hours, past midnight.
        {{.min = 22.0 / 24, .max = 34.0 / 24, .step = 1.0 / 24}, true, 13, "22.00.00", "10.00.00"},
        // A range that starts between ticks.
        {{.min = 22.25 / 24, .max = 23.5 / 24, .step = 0.5 / 24}, true, 3, "22.30.00", "23.30.00"},
        // Tenths on a deep zoom end on the range's top, not a rounding short of it.
        {{.min = 26.2, .max = 27.0, .step = 0.1}, false, 9, "26,2", "27"},
        {{.min = 25, .max = 40, .step = 5}, false, 4, "25", "40"},
    };
    const Style style;
    for (const Case& c : cases) {
        const std::vector<double> at = ticks(c.scale);
        ASSERT_EQ(at.size(), c.count) << c.first;
        const QString first = c.time ? timeTexts(c.scale, style).front() : diameterText(at.front());
        const QString last = c.time ? timeTexts(c.scale, style).back() : diameterText(at.back());
        EXPECT_EQ(first.toStdString(), c.first);
        EXPECT_EQ(last.toStdString(), c.last);
    }
    // No step, no ticks: a scale not yet computed draws none instead of looping.
    EXPECT_TRUE(ticks({.min = 1, .max = 2, .step = 0}).empty());
}

TEST(NightPlot, TheFrameMapsTheRangesToThePlotsCornersAndBack) {
    const Frame frame(QRectF(10, 20, 200, 100), {.min = 1, .max = 2, .step = 0.25},
                      {.min = 20, .max = 30, .step = 5});
    EXPECT_EQ(frame.pointOf(1, 20), QPointF(10, 120));
    EXPECT_EQ(frame.pointOf(2, 30), QPointF(210, 20));
    const QPointF value = frame.valueAt(frame.pointOf(1.3, 27.5));
    EXPECT_NEAR(value.x(), 1.3, 1e-12);
    EXPECT_NEAR(value.y(), 27.5, 1e-12);
}

// A drawing of times 0 to 1 and 20 to 40 mm on a white image, the plot inside its margins.
struct Drawing {
    QImage image{240, 140, QImage::Format_RGB32};
    Frame frame{QRectF(30.5, 10.5, 200, 100),
                {.min = 0, .max = 1, .step = 0.25},
                {.min = 20, .max = 40, .step = 10}};
    Style style;

    explicit Drawing(const NightLayers& layers, double narrowestBand = 0) {
        ensureApplication();
        style.narrowestBand = narrowestBand;
        image.fill(Qt::white);
        QPainter painter(&image);
        paintNight(painter, frame, style, layers);
    }
    QColor at(double days, double mm) const {
        return image.pixelColor(frame.pointOf(days, mm).toPoint());
    }
    // Whether the pixel columns at that time (a line on a column's edge covers two) hold a
    // pixel of the colour between the two diameters.
    bool columnHas(double days, double fromMm, double toMm, const QColor& colour) const {
        const int x = static_cast<int>(std::floor(frame.xOf(days)));
        for (int column = x - 1; column <= x + 1; ++column) {
            for (int y = static_cast<int>(frame.yOf(toMm)); y <= frame.yOf(fromMm); ++y) {
                const QColor c = image.pixelColor(column, y);
                if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                        std::abs(c.blue() - colour.blue()) <
                    90) {
                    return true;
                }
            }
        }
        return false;
    }
};

// Far more samples than the plot has pixel columns: one sample's spike still reaches its
// height, and a stretch without values is a gap, not a line across it.
TEST(NightPlot, ALongCurveKeepsEverySpikeAndEveryGap) {
    std::vector<double> times, mm;
    constexpr int kSamples = 20000;
    for (int i = 0; i < kSamples; ++i) {
        const double t = static_cast<double>(i) / (kSamples - 1);
        times.push_back(t);
        mm.push_back(t > 0.6 && t < 0.8  ? std::numeric_limits<double>::quiet_NaN()
                     : i == kSamples / 4 ? 38.0
                                         : 25.0);
    }
    NightLayers layers;
    layers.curves.push_back({&times, &mm, QColor(0, 0, 255)});
    const Drawing drawing(layers);
    const QColor blue(0, 0, 255);
    EXPECT_TRUE(drawing.columnHas(0.25, 37, 38.5, blue));
    EXPECT_TRUE(drawing.columnHas(0.5, 24, 26, blue));
    EXPECT_FALSE(drawing.columnHas(0.7, 21, 39, blue));
    EXPECT_TRUE(drawing.columnHas(0.9, 24, 26, blue));
}

// An episode shows where it lies on the range and only there: one wholly before or after the
// range leaves no strip at the plot's edge, even where a short one is widened to show on paper.
TEST(NightPlot, EpisodesAreShadedOnlyWhereTheyLieOnTheRange) {
    const std::vector<TimeSpan> episodes = {
        {.from = -0.3, .to = -0.1}, {.from = 0.8, .to = 1.4}, {.from = 1.2, .to = 1.3}};
    NightLayers layers;
    layers.episodes = &episodes;
    const Drawing drawing(layers, 3);
    const auto amber = [](const QColor& c) { return c.red() > c.blue() + 40; };
    EXPECT_TRUE(amber(drawing.at(0.9, 30)));
    EXPECT_TRUE(amber(drawing.at(0.99, 30)));
    EXPECT_FALSE(amber(drawing.at(0.7, 30)));
    EXPECT_FALSE(amber(drawing.at(0.004, 30)));
}

}  // namespace
}  // namespace npt::plot
