// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/review_text.h"

#include <cstdio>
#include <ctime>

#include "measure/time_of_day.h"

namespace npt::archive {

namespace {
std::string stretch(std::optional<int> from, std::optional<int> to, int startSeconds) {
    if (!from || !to) {
        return "";
    }
    return hourMinuteText(startSeconds + *from) + "–" + hourMinuteText(startSeconds + *to);
}

std::string episodeName(const ReviewChange& c, int startSeconds) {
    std::string name = "Эпизод";
    if (c.episode) {
        name += " " + std::to_string(*c.episode);
    }
    if (const std::string was = stretch(c.episodeStart, c.episodeEnd, startSeconds); !was.empty()) {
        name += " (" + was + ")";
    }
    return name;
}

// The archive's UTC time "2026-12-11 06:12:30" as this computer's time of day, "11.12.26 09:12"
// in Moscow: the doctor reads when the change was made by the clock on the wall.
std::string whenText(const std::string& utc) {
    std::tm parts{};
    if (utc.size() < 19 ||
        std::sscanf(utc.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &parts.tm_year, &parts.tm_mon,
                    &parts.tm_mday, &parts.tm_hour, &parts.tm_min, &parts.tm_sec) != 6) {
        return utc;
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
#ifdef _WIN32
    const std::time_t moment = _mkgmtime(&parts);
    std::tm local{};
    const bool known = moment != -1 && localtime_s(&local, &moment) == 0;
#else
    const std::time_t moment = timegm(&parts);
    std::tm local{};
    const bool known = moment != -1 && localtime_r(&moment, &local) != nullptr;
#endif
    if (!known) {
        return utc;
    }
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%y %H:%M", &local);
    return text;
}
}  // namespace

std::string reviewChangeText(const ReviewChange& c, int startSeconds) {
    std::string text;
    const std::string span = stretch(c.startSeconds, c.endSeconds, startSeconds);
    if (c.kind == "reject") {
        text = episodeName(c, startSeconds) + " отклонён как артефакт";
    } else if (c.kind == "accept") {
        text = episodeName(c, startSeconds) + " принят";
    } else if (c.kind == "move") {
        text = episodeName(c, startSeconds) + ": границы перенесены на " + span;
    } else if (c.kind == "add") {
        text = "Эпизод добавлен вручную: " + span;
    } else if (c.kind == "remove") {
        text = "Добавленный вручную эпизод " + span + " удалён";
    } else if (c.kind == "window") {
        const bool cleared = c.startSeconds.value_or(0) >= c.endSeconds.value_or(0);
        text = cleared ? "Окно анализа снято: вся запись"
                       : "Окно анализа: " + span + " (от выключения света до снятия датчика)";
    } else {
        text = "Изменение «" + c.kind + "»";
    }
    if (!c.doctor.empty() || !c.changedAt.empty()) {
        text += " —";
        if (!c.doctor.empty()) {
            text += " " + c.doctor + (c.changedAt.empty() ? "" : ",");
        }
        if (!c.changedAt.empty()) {
            text += " " + whenText(c.changedAt);
        }
    }
    return text;
}

std::vector<std::string> reviewTexts(const std::vector<ReviewChange>& changes, int startSeconds) {
    std::vector<std::string> texts;
    texts.reserve(changes.size());
    for (const auto& c : changes) {
        texts.push_back(reviewChangeText(c, startSeconds));
    }
    return texts;
}

}  // namespace npt::archive
