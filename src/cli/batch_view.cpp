// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/batch_view.h"

#include <stdexcept>

#include "recorder/utf8.h"

namespace npt {

std::string BatchView::text(Control control) const {
    const auto it = texts_.find(control);
    return it == texts_.end() ? std::string() : it->second;
}

void BatchView::setText(Control control, std::string_view text) {
    texts_[control] = std::string(text);
    const auto cps = utf8::decode(text);
    carets_[control] = std::min(caret(control), cps ? cps->size() : text.size());
}

std::size_t BatchView::caret(Control control) const {
    const auto it = carets_.find(control);
    return it == carets_.end() ? 0 : it->second;
}

void BatchView::setCaret(Control control, std::size_t position) {
    carets_[control] = position;
}

bool BatchView::visible(Control control) const {
    const auto it = visible_.find(control);
    return it == visible_.end() || it->second;
}

BatchView::~BatchView() {
    for (TimerId t : {TimerId::Timer1, TimerId::Timer2}) {
        stopTimer(t);
    }
}

std::optional<int> BatchView::top(Control control) const {
    const auto it = tops_.find(control);
    return it == tops_.end() ? std::nullopt : std::optional<int>(it->second);
}

void BatchView::startTimer(TimerId timer, int intervalMs) {
    stopTimer(timer);
    hid::MainLoop::TimerId id = 0;
    if (loop_ != nullptr) {
        id = loop_->startTimer(std::chrono::milliseconds(intervalMs), true, [this, timer] {
            if (onTimer) {
                onTimer(timer);
            }
        });
    }
    timers_[timer] = id;
}

void BatchView::stopTimer(TimerId timer) {
    const auto it = timers_.find(timer);
    if (it == timers_.end()) {
        return;
    }
    if (loop_ != nullptr) {
        loop_->stopTimer(it->second);
    }
    timers_.erase(it);
}

std::optional<Rgb> BatchView::colour(Control control) const {
    const auto it = colours_.find(control);
    return it == colours_.end() ? std::nullopt : it->second;
}

MessageAnswer BatchView::messageBox(std::string_view title, std::string_view text, MessageIcon icon,
                                    MessageButtons buttons) {
    messages_.push_back({std::string(title), std::string(text), icon, buttons});
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

std::optional<std::string> BatchView::askPassword() {
    ++passwordPrompts_;
    return passwordAnswer_;
}

void BatchView::writeReport(const std::string& path, const NightReport& report) {
    if (!reportWriter_) {
        throw std::runtime_error("Отчёт «" + path +
                                 "» не создан: программа собрана без графической части, которой "
                                 "он рисуется.");
    }
    reportWriter_(path, report);
}

}  // namespace npt
