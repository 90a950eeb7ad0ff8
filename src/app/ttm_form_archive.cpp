// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The patient archive: every whole read filed at once, a loaded file when the doctor wants it;
// a night opened from the archive.
#include <algorithm>

#include "app/ttm_form.h"
#include "os/file_error.h"
#include "os/utf8_path.h"
#include "recorder/cp1251.h"
#include "recorder/example_night.h"
#include "records/data_file.h"

namespace npt {

namespace {
constexpr const char* kArchiveTitle = "Архив пациентов";
constexpr const char* kFileLoadsQuestion =
    "Сохранять в архиве пациентов и записи, открытые из файлов?\n"
    "Ответ запомнится. Ночи, прочитанные из датчика, сохраняются в архиве всегда.";
}  // namespace

std::optional<std::string> TTMForm::unlockingPassword() const {
    const PasswordState& p = state_.password;
    if (state_.memoryImage.passwordAbsent() || p.nameHidden || p.passwordWrong) {
        return std::nullopt;
    }
    const auto end = std::find(p.buffer.begin(), p.buffer.end(), kErasedByte);
    return cp1251::decode(std::span<const std::uint8_t>(p.buffer.begin(), end));
}

void TTMForm::reportFiling(const FilingResult& result) {
    if (result.night) {
        filedNight_ = result.night;
        // A night filed before (a file opened again) brings the review made of it then.
        if (result.alreadyThere) {
            takeArchivedReview();
        }
    }
    if (result.failure) {
        warning(kArchiveTitle, "Ночь не сохранена в архиве пациентов. " + *result.failure +
                                   "\nСохраните её в файл кнопкой «В файл».");
    }
}

void TTMForm::fileReadNight() {
    // The demonstration recorder's night is no patient's.
    if (filing_ == nullptr || isDemonstration(state_.memoryImage)) {
        return;
    }
    // Before the password is asked: a protected name is filed unidentified.
    reportFiling(filing_->file(dataFileBytes(state_.memoryImage), std::nullopt,
                               archive::NightSource::Recorder, "", state_.analysisParameters));
}

void TTMForm::identifyReadNight() {
    if (filing_ == nullptr || !filedNight_) {
        return;
    }
    if (const auto password = unlockingPassword(); password && !password->empty()) {
        filing_->identify(*filedNight_, *password);
    }
}

void TTMForm::fileLoadedNight(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (filing_ == nullptr || isDemonstration(state_.memoryImage)) {
        return;
    }
    std::optional<bool> wanted =
        settings_ != nullptr ? settings_->fileLoadedNights() : std::nullopt;
    if (!wanted) {
        wanted = view_.messageBox(kArchiveTitle, kFileLoadsQuestion, MessageIcon::Information,
                                  MessageButtons::YesNo) == MessageAnswer::Yes;
        if (settings_ != nullptr) {
            try {
                settings_->saveFileLoadedNights(*wanted);
            } catch (const FileError&) {
                // Asked again next time: the answer holds for this window.
            }
        }
    }
    if (!*wanted) {
        return;
    }
    const std::string name = utf8FromPath(pathFromUtf8(path).filename());
    reportFiling(filing_->file(bytes, unlockingPassword(), archive::NightSource::File, name,
                               state_.analysisParameters));
}

void TTMForm::ShowArchiveClick() {
    view_.openArchiveWindow();
}

bool TTMForm::openArchivedNight(archive::Id night) {
    archive::Archive* a = filing_ != nullptr ? filing_->archive() : nullptr;
    if (a == nullptr) {
        showError(filing_ != nullptr && filing_->lastFailure() ? *filing_->lastFailure()
                                                               : "Архив пациентов не подключён.");
        return false;
    }
    std::optional<archive::NightRow> row;
    std::vector<std::uint8_t> bytes;
    try {
        row = a->night(night);
        if (!row) {
            showError("В архиве пациентов нет ночи № " + std::to_string(night) + ".");
            return false;
        }
        bytes = a->nightBytes(night);
    } catch (const archive::ArchiveError& e) {
        showError(e.what());
        return false;
    }
    return guarded([&] {
        loadImage(imageFromDataFile(bytes, "ночь № " + std::to_string(night) + " архива"));
        filedNight_ = night;
        if (!row->patientId) {
            identifyReadNight();
        }
        takeArchivedReview();  // the night comes with the doctor's review of it
    });
}

}  // namespace npt
