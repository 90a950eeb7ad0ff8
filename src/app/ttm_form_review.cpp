// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The doctor's review of the night shown: episodes accepted, rejected as artefacts, moved or
// added, the analysis window; applied at once and kept with the night in the archive.
#include <algorithm>

#include "app/ttm_form.h"
#include "archive/archived_night.h"
#include "archive/review_text.h"

namespace npt {

namespace {

std::string reasonUnapplied(const ReviewStep& step) {
    switch (step.kind) {
        case ReviewKind::Add:
        case ReviewKind::Move:
            return step.end_s > step.start_s ? "на этом участке нет пригодных для анализа отсчётов"
                                             : "конец участка должен быть позже начала";
        case ReviewKind::Remove:
            return "удалить можно только эпизод, добавленный вручную; найденный анализом — "
                   "отклонить как артефакт";
        default:
            return "такого эпизода нет в таблице";
    }
}

// The episode's number in the table, counting from 1, when it is there.
std::optional<int> numberOf(const NightAnalysis& analysis, const ReviewStep& step) {
    for (std::size_t i = 0; i < analysis.episodes.size(); ++i) {
        if (analysis.episodes[i].found_start_s == step.episodeStart_s &&
            analysis.episodes[i].found_end_s == step.episodeEnd_s) {
            return static_cast<int>(i + 1);
        }
    }
    return std::nullopt;
}
}  // namespace

void TTMForm::reanalyse() {
    if (auto& night = state_.nightAnalysis) {
        night->result = reviewNight(night->recording(), state_.analysisParameters,
                                    archive::reviewSteps(night->review));
    }
    showAnalysis();
}

void TTMForm::takeArchivedReview() {
    if (filing_ == nullptr || !filedNight_ || !state_.nightAnalysis) {
        return;
    }
    archive::Archive* a = filing_->archive();
    if (a == nullptr) {
        return;
    }
    try {
        state_.nightAnalysis->review = a->review(*filedNight_);
    } catch (const archive::ArchiveError& e) {
        warning("Архив пациентов",
                std::string("Пересмотр ночи не прочитан из архива. ") + e.what());
        return;
    }
    if (!state_.nightAnalysis->review.empty()) {
        reanalyse();
    }
}

std::optional<std::string> TTMForm::ReviewEpisode(const ReviewStep& step) {
    auto& night = state_.nightAnalysis;
    if (!night || !analysable(night->result.quality.usability)) {
        return std::string("Нет записи, пригодной для анализа.");
    }
    const std::string doctor = view_.text(Control::VName);
    archive::ReviewChange change = archive::reviewChangeOf(
        step, numberOf(night->result, step), doctor == kDefaultDoctorName ? "" : doctor);
    std::vector<archive::ReviewChange> review = night->review;
    review.push_back(change);
    NightAnalysis result =
        reviewNight(night->recording(), state_.analysisParameters, archive::reviewSteps(review));
    const std::size_t last = review.size() - 1;
    if (std::find(result.unapplied.begin(), result.unapplied.end(), last) !=
        result.unapplied.end()) {
        return "Изменение не сделано: " + reasonUnapplied(step) + ".";
    }
    // Kept with the night first: a change the archive could not keep is still made here, and
    // the doctor is told that it lives only in this window.
    if (filing_ != nullptr && filedNight_) {
        archive::Archive* a = filing_->archive();
        try {
            if (a == nullptr) {
                throw archive::ArchiveError(archive::ArchiveError::Kind::Unreachable,
                                            filing_->lastFailure().value_or(""));
            }
            a->addReviewChange(*filedNight_, change);
            change.changedAt = a->review(*filedNight_).back().changedAt;
        } catch (const archive::ArchiveError& e) {
            warning("Архив пациентов",
                    std::string("Изменение не сохранено в архиве: ") + e.what() +
                        " Оно войдёт в отчёт, но при следующем открытии ночи его не будет.");
        }
    }
    if (change.changedAt.empty()) {
        change.changedAt = archive::utcNow();
    }
    review.back() = change;
    night->review = std::move(review);
    night->result = std::move(result);
    showAnalysis();
    return std::nullopt;
}

void TTMForm::SelectEpisode(std::optional<std::pair<int, int>> foundBounds) {
    const auto& night = state_.nightAnalysis;
    if (!night || !foundBounds) {
        view_.highlightEpisode(std::nullopt);
        return;
    }
    const auto matches = [&](const NightEpisode& e) {
        return e.found_start_s == foundBounds->first && e.found_end_s == foundBounds->second;
    };
    for (const auto* list : {&night->result.episodes, &night->result.rejected}) {
        const auto it = std::find_if(list->begin(), list->end(), matches);
        if (it != list->end()) {
            constexpr double kDay = 86400.0;
            view_.highlightEpisode(TimeSpan{(night->startSeconds + it->start_s) / kDay,
                                            (night->startSeconds + it->end_s) / kDay});
            return;
        }
    }
    view_.highlightEpisode(std::nullopt);
}

std::vector<std::string> TTMForm::reviewLines() const {
    const auto& night = state_.nightAnalysis;
    if (!night) {
        return {};
    }
    std::vector<std::string> lines = archive::reviewTexts(night->review, night->startSeconds);
    for (const std::size_t i : night->result.unapplied) {
        if (i < lines.size()) {
            lines[i] += " (не применено при нынешних параметрах)";
        }
    }
    return lines;
}

}  // namespace npt
