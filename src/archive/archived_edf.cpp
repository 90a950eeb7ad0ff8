// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archived_edf.h"

#include "archive/review_text.h"

namespace npt::archive {

std::vector<EdfAnnotation> reviewAnnotations(const std::vector<ReviewChange>& changes,
                                             int startSeconds) {
    std::vector<EdfAnnotation> notes;
    for (const ReviewChange& c : changes) {
        const bool ownStretch = c.startSeconds && c.endSeconds && !c.episodeStart;
        const std::optional<int> from = ownStretch ? c.startSeconds : c.episodeStart;
        const std::optional<int> to = ownStretch ? c.endSeconds : c.episodeEnd;
        EdfAnnotation note;
        note.onset_s = from.value_or(0);
        if (from && to && *to > *from) {
            note.duration_s = *to - *from;
        }
        note.text = "Изменение врача: " + reviewChangeText(c, startSeconds);
        notes.push_back(std::move(note));
    }
    return notes;
}

EdfNight archivedNightEdf(Archive& archive, const ArchivedNight& night,
                          const std::string& equipment) {
    EdfNightSource source;
    source.samples = night.samples;
    source.periodSeconds = night.periodSeconds;
    source.startSeconds = night.startSeconds;
    source.date = firstSampleDate(night.image);
    if (night.row.patientId) {
        source.name = night.row.patientName;
        if (const auto record = archive.patient(*night.row.patientId)) {
            source.number = record->patient.number;
        }
    }
    source.equipment = equipment;
    source.window = reviewWindow(reviewSteps(night.review));
    source.review = reviewAnnotations(night.review, night.startSeconds);
    return edfNightOf(source, night.analysis);
}

std::string edfFileName(Id night, const std::string& date) {
    return "Ночь " + std::to_string(night) + " от " + date + ".edf";
}

}  // namespace npt::archive
