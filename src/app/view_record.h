// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window as a view without a screen keeps it: each control's text and caret, whether it is
// shown, its colour and top, and the message boxes in the order they were opened. The
// command-line tool's view and the tests' scripted view both keep the window in one, so that
// what the behaviour did to the screen reads the same in both.
#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/controls.h"
#include "app/form_view.h"
#include "chart/rgb.h"
#include "recorder/utf8.h"

namespace npt {

struct CollectedMessage {
    std::string title;
    std::string text;
    MessageIcon icon;
    MessageButtons buttons;
};

class ViewRecord {
  public:
    std::string text(Control control) const { return valueOr(texts_, control, std::string()); }
    // The caret stays where it was, or at the end when the new text is shorter.
    void setText(Control control, std::string_view text) {
        texts_[control] = std::string(text);
        const auto characters = utf8::decode(text);
        carets_[control] = std::min(caret(control), characters ? characters->size() : text.size());
    }
    std::size_t caret(Control control) const { return valueOr(carets_, control, std::size_t{0}); }
    void setCaret(Control control, std::size_t position) { carets_[control] = position; }

    // Every control is shown until it is hidden.
    bool visible(Control control) const { return valueOr(visible_, control, true); }
    void setVisible(Control control, bool visible) { visible_[control] = visible; }
    // Nothing: the system's window colour, as before any was set.
    std::optional<Rgb> colour(Control control) const {
        return valueOr(colours_, control, std::optional<Rgb>());
    }
    void setColour(Control control, std::optional<Rgb> colour) { colours_[control] = colour; }
    // Nothing until the behaviour has placed the control.
    std::optional<int> top(Control control) const {
        const auto it = tops_.find(control);
        return it == tops_.end() ? std::nullopt : std::optional<int>(it->second);
    }
    void setTop(Control control, int top) { tops_[control] = top; }

    const std::vector<CollectedMessage>& messages() const { return messages_; }
    void addMessage(std::string_view title, std::string_view text, MessageIcon icon,
                    MessageButtons buttons) {
        messages_.push_back({std::string(title), std::string(text), icon, buttons});
    }
    void clearMessages() { messages_.clear(); }

  private:
    template <class T>
    static T valueOr(const std::map<Control, T>& values, Control control, T fallback) {
        const auto it = values.find(control);
        return it == values.end() ? fallback : it->second;
    }

    std::map<Control, std::string> texts_;
    std::map<Control, std::size_t> carets_;
    std::map<Control, bool> visible_;
    std::map<Control, std::optional<Rgb>> colours_;
    std::map<Control, int> tops_;
    std::vector<CollectedMessage> messages_;
};

}  // namespace npt
