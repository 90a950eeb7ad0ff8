// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/review_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace npt::archive {
namespace {

ReviewChange change(const char* kind, std::optional<int> episode, std::optional<int> from,
                    std::optional<int> to, std::optional<int> start, std::optional<int> end) {
    ReviewChange c;
    c.kind = kind;
    c.episode = episode;
    c.episodeStart = from;
    c.episodeEnd = to;
    c.startSeconds = start;
    c.endSeconds = end;
    return c;
}

TEST(ReviewTextTest, EachChangeReadsAsTheDoctorMadeIt) {
    const int start = 22 * 3600;  // the night's first sample at 22:00
    const std::pair<ReviewChange, const char*> cases[] = {
        {change("reject", 3, 4200, 6000, {}, {}), "Эпизод 3 (23:10–23:40) отклонён как артефакт"},
        {change("accept", 3, 4200, 6000, {}, {}), "Эпизод 3 (23:10–23:40) принят"},
        {change("move", 1, 600, 1800, 300, 2400),
         "Эпизод 1 (22:10–22:30): границы перенесены на 22:05–22:40"},
        {change("add", {}, {}, {}, 7200, 9000), "Эпизод добавлен вручную: 00:00–00:30"},
        {change("window", {}, {}, {}, 1800, 36000),
         "Окно анализа: 22:30–08:00 (от выключения света до снятия датчика)"},
        {change("window", {}, {}, {}, 0, 0), "Окно анализа снято: вся запись"},
    };
    for (const auto& [c, text] : cases) {
        EXPECT_EQ(reviewChangeText(c, start), text);
    }
}

// The process's time zone for the test, the same way on both systems; none: the machine's own.
void setZone(const char* zone) {
#ifdef _WIN32
    _putenv_s("TZ", zone != nullptr ? zone : "");  // an empty value removes it
    _tzset();
#else
    zone != nullptr ? ::setenv("TZ", zone, 1) : ::unsetenv("TZ");
    ::tzset();
#endif
}

TEST(ReviewTextTest, WhoAndWhenByTheLocalClock) {
    const char* before = std::getenv("TZ");
    const std::string saved = before != nullptr ? before : "";
    setZone("MSK-3");
    ReviewChange c = change("reject", 2, 60, 600, {}, {});
    c.doctor = "Иванова А. А.";
    c.changedAt = "2026-12-10 22:15:00";  // UTC: past midnight in Moscow
    EXPECT_EQ(reviewChangeText(c, 0),
              "Эпизод 2 (00:01–00:10) отклонён как артефакт — Иванова А. А., 11.12.26 01:15");
    setZone(before != nullptr ? saved.c_str() : nullptr);
}

}  // namespace
}  // namespace npt::archive
