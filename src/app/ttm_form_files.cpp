// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// What the file dialogs remember and propose: the folder used last (kept in the settings file
// between runs) and the name a night's file is offered under, made from the patient's name and
// the study date, never from a name that is withheld.
#include "app/ttm_form.h"
#include "os/file_name.h"

namespace npt {

std::string TTMForm::proposedPath(FileKind kind) const {
    const std::string name = nameWithheld() ? "" : view_.text(Control::Name);
    std::string file =
        proposedFileName(name, view_.text(Control::Date)) + std::string(fileEnding(kind));
    if (lastFolder_.empty()) {
        return file;
    }
#ifdef _WIN32
    // Windows' dialogs give "\\" between the parts of a name.
    const bool separated = lastFolder_.back() == '/' || lastFolder_.back() == '\\';
    return lastFolder_ + (separated ? "" : "\\") + file;
#else
    return lastFolder_ + (lastFolder_.back() == '/' ? "" : "/") + file;
#endif
}

void TTMForm::rememberFolder(const std::string& chosen) {
#ifdef _WIN32
    // Either separator; the root of a drive ("C:\\") keeps its own.
    const auto slash = chosen.find_last_of("/\\");
    if (slash != std::string::npos) {
        const bool root = slash == 0 || (slash == 2 && chosen[1] == ':');
        lastFolder_ = chosen.substr(0, root ? slash + 1 : slash);
    }
#else
    const auto slash = chosen.rfind('/');
    if (slash != std::string::npos) {
        lastFolder_ = slash == 0 ? "/" : chosen.substr(0, slash);
    }
#endif
}

void TTMForm::loadFolderSetting() {
    if (settings_ != nullptr) {
        lastFolder_ = settings_->lastFolder().value_or("");
        storedFolder_ = lastFolder_;
    }
}

void TTMForm::saveFolderSetting() {
    if (settings_ == nullptr || lastFolder_ == storedFolder_) {
        return;
    }
    try {
        settings_->saveLastFolder(lastFolder_);
        storedFolder_ = lastFolder_;
    } catch (const std::exception&) {
        // Only where the dialogs open next time; not worth a message at shutdown, when the
        // doctor's name has just been saved in the same file.
    }
}

}  // namespace npt
