// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/review_text.h"

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

// "2026-12-11 09:12:30" as "11.12.26 09:12".
std::string whenText(const std::string& utc) {
    if (utc.size() < 16) {
        return utc;
    }
    return utc.substr(8, 2) + "." + utc.substr(5, 2) + "." + utc.substr(2, 2) + " " +
           utc.substr(11, 5);
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
