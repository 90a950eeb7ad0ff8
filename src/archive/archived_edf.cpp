// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "archive/archived_edf.h"

#include "archive/review_text.h"

namespace npt::archive {

namespace {

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

}  // namespace

EdfNightSource reviewedNightSource(std::span<const std::uint8_t> samples, int periodSeconds,
                                   int startSeconds, const MemoryImage& image,
                                   const std::vector<ReviewChange>& review) {
    EdfNightSource source;
    source.samples = samples;
    source.periodSeconds = periodSeconds;
    source.startSeconds = startSeconds;
    source.date = firstSampleDate(image);
    source.window = reviewWindow(reviewSteps(review));
    source.review = reviewAnnotations(review, startSeconds);
    return source;
}

std::optional<std::string> patientNumberOf(Archive& archive, const NightRow& night) {
    if (!night.patientId) {
        return std::nullopt;
    }
    const auto record = archive.patient(*night.patientId);
    return record ? record->patient.number : std::nullopt;
}

EdfNight archivedNightEdf(Archive& archive, const ArchivedNight& night,
                          const std::string& equipment) {
    EdfNightSource source = reviewedNightSource(night.samples, night.periodSeconds,
                                                night.startSeconds, night.image, night.review);
    if (night.row.patientId) {
        source.name = night.row.patientName;
    }
    source.number = patientNumberOf(archive, night.row);
    source.equipment = equipment;
    return edfNightOf(source, night.analysis);
}

std::string edfFileName(Id night, const std::string& date) {
    return "Ночь " + std::to_string(night) + " от " + date + ".edf";
}

}  // namespace npt::archive
