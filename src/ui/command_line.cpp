#include "ui/command_line.h"

namespace npt {

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
