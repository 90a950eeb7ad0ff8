// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/quality.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <iterator>

#include "analysis/analysis_text.h"
#include "analysis/sensor_faults.h"

namespace npt {

namespace {

// The stretches of flagged samples, joining flags at most `join` samples apart unless a sample
// between is `blocked`.
void addStretches(const std::vector<bool>& flags, Fault fault, std::size_t join, int period,
                  const std::vector<bool>& blocked, std::vector<Stretch>& out) {
    const std::size_t n = flags.size();
    std::size_t i = 0;
    while (i < n) {
        if (!flags[i]) {
            ++i;
            continue;
        }
        const std::size_t first = i;
        std::size_t last = i;
        for (std::size_t j = i + 1; j < n && j - last <= join && !blocked[j]; ++j) {
            if (flags[j]) {
                last = j;
            }
        }
        out.push_back(
            {fault, static_cast<int>(first) * period, static_cast<int>(last + 1) * period});
        i = last + 1;
    }
}

// The fewest samples that cover the time: rounded up.
std::size_t samplesCovering(int seconds, int period) {
    return static_cast<std::size_t>((seconds + period - 1) / period);
}

// The named stretches: each with its times of night while there are few, else a count and
// the total time per fault.
std::string namedStretchesText(const std::vector<Stretch>& all, int startSeconds) {
    std::vector<Stretch> stretches;
    std::copy_if(all.begin(), all.end(), std::back_inserter(stretches),
                 [](const Stretch& s) { return s.named(); });
    constexpr std::size_t kListedAtMost = 4;
    std::string text;
    const auto append = [&](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
    if (stretches.size() <= kListedAtMost) {
        for (const Stretch& s : stretches) {
            append(hourMinuteText(startSeconds + s.start_s) + "–" +
                   hourMinuteText(startSeconds + s.end_s) + " — " + faultText(s.fault));
        }
        return text;
    }
    for (Fault fault : {Fault::Erased, Fault::RangeEnd, Fault::Flat, Fault::Off, Fault::PutOnLate,
                        Fault::TakenOffEarly, Fault::Shifted, Fault::OutsideWindow}) {
        int count = 0;
        int seconds = 0;
        for (const Stretch& s : stretches) {
            if (s.fault == fault) {
                ++count;
                seconds += s.end_s - s.start_s;
            }
        }
        if (count > 0) {
            append(std::string(faultText(fault)) + " — " + std::to_string(count) + " " +
                   pluralRu(count, "участок", "участка", "участков") + ", всего " +
                   durationText(seconds));
        }
    }
    return text;
}

std::string verdictOf(const NightQuality& q, const NightRecording& recording) {
    const int startSeconds = recording.startSeconds;
    switch (q.usability) {
        case Usability::NotRecording:
            return "данные не похожи на запись датчика: " + recording.notARecording.value_or("");
        case Usability::NoData:
            return "датчик не записал ни одного измерения";
        case Usability::NoPeriod:
            return "период измерений неизвестен";
        case Usability::Unusable: {
            const std::string named = namedStretchesText(q.stretches, startSeconds);
            return "данные непригодны для анализа" + (named.empty() ? "" : ": " + named);
        }
        case Usability::PartlyUsable:
        case Usability::Usable:
            break;
    }
    std::string verdict;
    if (q.usability == Usability::PartlyUsable) {
        int leftOut = 0;
        for (const Stretch& s : q.stretches) {
            leftOut += s.named() ? s.end_s - s.start_s : 0;
        }
        verdict = "не анализировались " + durationText(leftOut) + ": " +
                  namedStretchesText(q.stretches, startSeconds);
    } else {
        verdict = "данные пригодны для анализа";
        if (q.excluded > 0) {
            verdict += " (не учтены отдельные отсчёты: " + std::to_string(q.excluded) + ")";
        }
    }
    if (q.usable_s < kWholeNightS) {
        verdict += "; проанализировано менее 7 ч: утренние эпизоды могли не попасть в запись";
    }
    return verdict;
}

// The analysis window: the samples outside it leave every other stretch and form stretches of
// their own; what remains to analyse is counted anew.
void leaveOutsideWindow(const AnalysisWindow& window, int period, NightQuality& q,
                        std::vector<bool>& excluded) {
    const int nightEnd = static_cast<int>(excluded.size()) * period;
    // On sample boundaries, inside the night.
    const int from = std::clamp(window.start_s / period * period, 0, nightEnd);
    const int to = std::clamp((window.end_s + period - 1) / period * period, from, nightEnd);
    std::vector<Stretch> kept;
    for (Stretch s : q.stretches) {
        s.start_s = std::max(s.start_s, from);
        s.end_s = std::min(s.end_s, to);
        if (s.end_s > s.start_s) {
            kept.push_back(s);
        }
    }
    if (from > 0) {
        kept.push_back({Fault::OutsideWindow, 0, from});
    }
    if (to < nightEnd) {
        kept.push_back({Fault::OutsideWindow, to, nightEnd});
    }
    q.stretches = std::move(kept);
    std::erase_if(q.moved_s, [&](int at) { return at <= from || at >= to; });
    q.excluded = 0;
    for (std::size_t i = 0; i < excluded.size(); ++i) {
        const int at = static_cast<int>(i) * period;
        excluded[i] = excluded[i] || at < from || at >= to;
        q.excluded += excluded[i] ? 1 : 0;
    }
    q.usable_s = static_cast<int>(excluded.size() - static_cast<std::size_t>(q.excluded)) * period;
}

}  // namespace

const char* faultCode(Fault fault) {
    switch (fault) {
        case Fault::Erased:
            return "erased";
        case Fault::RangeEnd:
            return "range_end";
        case Fault::Flat:
            return "flat";
        case Fault::Off:
            return "off";
        case Fault::PutOnLate:
            return "put_on_late";
        case Fault::TakenOffEarly:
            return "taken_off_early";
        case Fault::Shifted:
            return "shifted";
        case Fault::OutsideWindow:
            return "outside_window";
    }
    return "";
}

const char* faultText(Fault fault) {
    switch (fault) {
        case Fault::Erased:
            return "пропуск записи";
        case Fault::RangeEnd:
            return "показания за пределами диапазона измерения";
        case Fault::Flat:
            return "показания не меняются (датчик снят или отключён)";
        case Fault::Off:
            return "датчик снят или соскользнул";
        case Fault::PutOnLate:
            return "датчик надет позже начала записи";
        case Fault::TakenOffEarly:
            return "датчик снят до конца записи";
        case Fault::Shifted:
            return "датчик сместился";
        case Fault::OutsideWindow:
            return "вне окна анализа";
    }
    return "";
}

QualityAssessment assessQuality(const NightRecording& recording) {
    QualityAssessment result;
    NightQuality& q = result.quality;
    if (recording.notARecording) {
        // Nothing of it is a night: no sample is counted, none is left to analyse.
        q.usability = Usability::NotRecording;
        q.verdict = verdictOf(q, recording);
        return result;
    }
    const std::size_t n = writtenLength(recording.samples);
    const auto bytes = recording.samples.first(n);
    const int period = recording.periodSeconds;
    q.unwritten_after_end = static_cast<int>(recording.samples.size() - n);

    std::vector<bool> erased(n, false);
    std::vector<bool> rangeEnd(n, false);
    std::vector<bool> broken(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        erased[i] = bytes[i] == kErasedByte;
        rangeEnd[i] = atRangeEnd(bytes[i]);
        broken[i] = erased[i] || rangeEnd[i];
        q.erased += erased[i];
        q.at_range_ends += rangeEnd[i];
    }

    if (n == 0 || period <= 0) {
        q.usability = n == 0 ? Usability::NoData : Usability::NoPeriod;
        result.excluded.assign(n, true);
        q.excluded = static_cast<int>(n);
        q.verdict = verdictOf(q, recording);
        return result;
    }

    // The sensor's faults take the stretches they cover whole; erased samples and samples at the
    // ends of the range are located only outside them, so that no time is left out twice.
    SensorFaults faults = sensorFaults(bytes, broken, period);
    const std::vector<Stretch>& sensor = faults.stretches;
    for (const std::size_t position : faults.newPositions) {
        q.moved_s.push_back(static_cast<int>(position) * period);
    }
    std::vector<bool> sensorFault(n, false);
    for (const Stretch& s : sensor) {
        std::fill(sensorFault.begin() + s.start_s / period, sensorFault.begin() + s.end_s / period,
                  true);
        if (s.fault == Fault::Flat) {
            q.flat_s += s.end_s - s.start_s;
        }
    }
    result.excluded.assign(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        result.excluded[i] = broken[i] || sensorFault[i];
        q.excluded += result.excluded[i];
        erased[i] = erased[i] && !sensorFault[i];
        rangeEnd[i] = rangeEnd[i] && !sensorFault[i];
    }
    q.usable_s = static_cast<int>(n - static_cast<std::size_t>(q.excluded)) * period;

    // A sensor at the end of its range flickers in and out of it: one stretch. Erased positions
    // are joined only when they follow each other.
    // No stretch reaches across a sample of another fault: each sample is in one stretch at most.
    std::vector<bool> otherThanRangeEnd = sensorFault;
    for (std::size_t i = 0; i < n; ++i) {
        otherThanRangeEnd[i] = otherThanRangeEnd[i] || erased[i];
    }
    addStretches(erased, Fault::Erased, 1, period, sensorFault, q.stretches);
    addStretches(rangeEnd, Fault::RangeEnd, samplesCovering(kStretchJoinS, period), period,
                 otherThanRangeEnd, q.stretches);
    q.stretches.insert(q.stretches.end(), sensor.begin(), sensor.end());
    if (recording.window) {
        leaveOutsideWindow(*recording.window, period, q, result.excluded);
    }
    std::sort(q.stretches.begin(), q.stretches.end(),
              [](const Stretch& a, const Stretch& b) { return a.start_s < b.start_s; });

    if (q.usable_s == 0) {
        q.usability = Usability::Unusable;
    } else if (std::any_of(q.stretches.begin(), q.stretches.end(),
                           [](const Stretch& s) { return s.named(); })) {
        q.usability = Usability::PartlyUsable;
    } else {
        q.usability = Usability::Usable;
    }
    q.verdict = verdictOf(q, recording);
    return result;
}

}  // namespace npt
