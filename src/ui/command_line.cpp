// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/command_line.h"

namespace npt {

namespace {
// The toolkit's options that take the next argument as their value, and those that stand alone,
// each between blanks and without its dash; the first kind also as -name=value.
constexpr std::string_view kToolkitOptionsWithValue =
    " platform platformpluginpath platformtheme plugin qwindowgeometry geometry qwindowtitle"
    " title qwindowicon icon display session style stylesheet name visual ";
constexpr std::string_view kToolkitFlags =
    " reverse widgetcount testability nograb dograb sync qdevel qdebug ";

bool isOneOf(std::string_view name, std::string_view names) {
    return !name.empty() && name.find(' ') == std::string_view::npos &&
           names.find(" " + std::string(name) + " ") != std::string_view::npos;
}
}  // namespace

std::vector<std::string> withoutToolkitOptions(const std::vector<std::string>& arguments) {
    std::vector<std::string> ours;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        optionsEnded = optionsEnded || a == "--";
        std::string_view name = a;
        if (optionsEnded || !name.starts_with('-')) {
            ours.push_back(a);
            continue;
        }
        name.remove_prefix(name.starts_with("--") ? 2 : 1);
        const auto equals = name.find('=');
        if (equals != std::string_view::npos &&
            (isOneOf(name.substr(0, equals), kToolkitOptionsWithValue) ||
             name.starts_with("qmljsdebugger="))) {
            continue;
        }
        if (isOneOf(name, kToolkitOptionsWithValue)) {
            ++i;  // and its value
        } else if (!isOneOf(name, kToolkitFlags)) {
            ours.push_back(a);
        }
    }
    return ours;
}

std::optional<DeskOptions> parseDeskArguments(const std::vector<std::string>& arguments,
                                              std::string& error) {
    DeskOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& a = arguments[i];
        if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a == kScreenshotOption) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                error = "после --screenshot нужно имя файла снимка (.png)";
                return std::nullopt;
            }
            options.screenshot = arguments[++i];
        } else if (!optionsEnded && a.starts_with(std::string(kScreenshotOption) + "=")) {
            options.screenshot = a.substr(kScreenshotOption.size() + 1);
            if (options.screenshot->empty()) {
                error = "после --screenshot нужно имя файла снимка (.png)";
                return std::nullopt;
            }
        } else if (!optionsEnded && a == kDemoRecorderOption) {
            options.demoRecorder = true;
        } else if (!optionsEnded && a.size() > 1 && a.front() == '-') {
            error = "неизвестный параметр «" + a + "»";
            return std::nullopt;
        } else if (options.file) {
            error = "лишний аргумент «" + a + "»: окно открывает одну запись";
            return std::nullopt;
        } else {
            options.file = a;
        }
    }
    return options;
}

bool asksFor(const std::vector<std::string>& arguments, std::string_view option) {
    for (const std::string& a : arguments) {
        if (a == "--") {
            return false;
        }
        if (a == option || a.starts_with(std::string(option) + "=")) {
            return true;
        }
    }
    return false;
}

}  // namespace npt
