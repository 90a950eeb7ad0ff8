// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The night's analysis: tumescence episodes, their size and the night's summary, from the
// diameter alone. A pure function of the recording and the parameters.
//
// How it works, on sample bytes (one step = 0,2 mm):
//   1. Quality (quality.h): erased positions, samples at the ends of the measuring range and the
//      sensor's own faults (sensor_faults.h: off the body or slipped, put on late, taken off
//      early, lying still, shifted) are left out; the night ends at its last written sample.
//      Where the sensor took a new position on the body, each position is analysed as a night
//      of its own (steps 3 to 5), with its own resting diameter.
//   2. Smoothing: a centred moving median over about one minute (2 * round(30 s / period) + 1
//      samples) of the samples left in, none where a sample is left out. A median, unlike a
//      mean, ignores single spikes of the sensor and keeps the edges of a rise where they are.
//   3. Baseline, in two passes. First a rough one: the 20th percentile of the smoothed diameter
//      over a centred window of two hours (one hour each side, shorter at the ends of the
//      night), or over six hours where that is lower (the window kept inside the night, so
//      that it holds six hours even at its ends): an episode rarely fills more than half of
//      such a window, and one that fills the two hours (healthy young men, erections prolonged
//      by drugs: up to three hours) does not fill the six. The rough episodes found over it
//      (step 4, at three quarters of the threshold, so that an episode barely above the
//      threshold leaves none of its dips as rest), with five minutes of flank each side, are
//      then left out, and what remains measured is rest. The baseline is the median of the rest
//      in the same two-hour window, taken between the byte steps so that it is not rounded to
//      0,2 mm: the flaccid diameter itself. Where the window holds less than ten minutes of
//      rest, it is the straight line between the nearest rest on either side, however far: the
//      median of the nearest twenty minutes of resting samples before and after, each standing
//      at their mean position (one side's level where the other has none). A stretch left out
//      is never rest, so the sensor lying on the table never becomes a level. A slow drift of
//      the sensor is followed with a lag of a fraction of an hour, so a drift of a few
//      millimetres over the night stays far below the threshold. The windows slide over byte
//      counts (byte_window.h): the whole analysis is linear in the length of the night.
//   4. Episodes: the samples where smoothed - baseline >= threshold form runs; runs separated by
//      a dip shorter than the merge gap are joined (the dip counts in the episode's duration)
//      unless a stretch left out lies in the dip; joined runs shorter than the minimum duration
//      are dropped. Where no sample is left within the minute (a longer gap or fault), the
//      diameter counts as below the threshold.
//   5. Measures per episode, against the flaccid diameter under it: the straight line from the
//      nearest rest before its flank to the nearest rest after (step 3). baseline = mean of
//      that line over the episode; peak = the highest level held for three minutes (the highest
//      centred three-minute mean of the smoothed diameter within the episode), so that noise on
//      a plateau does not make the peak; increase = peak - baseline, also in % of the baseline;
//      time with a rise >= the second threshold (full_s: a rise of 5,0 mm of diameter, about
//      16 mm of circumference, not a measure of rigidity); area = sum of (smoothed - baseline,
//      where positive) * period, in mm·min. The night's largest rise is the highest
//      three-minute mean of smoothed - baseline anywhere, episode or not.
// An episode starts at its first sample above the threshold and ends one period after its
// last, so duration = end - start. Millimetres, percentages and areas are rounded to a tenth.
//
// Member names of the result structs follow the report's JSON keys one to one.
#include <string>
#include <vector>

#include "analysis/night_recording.h"
#include "analysis/parameters.h"
#include "analysis/quality.h"

namespace npt {

// Where an episode of the table comes from: found by the analysis, its bounds moved by the
// doctor, or added by the doctor over a stretch of the chart (night_review.h).
enum class EpisodeOrigin { Found, Moved, Added };

struct NightEpisode {
    int start_s = 0;     // seconds from the first sample
    int end_s = 0;       // seconds from the first sample; the episode lasts until then
    std::string start;   // time of night, HH:MM:SS
    std::string end;     // time of night, HH:MM:SS
    int duration_s = 0;  // end_s - start_s
    double baseline_mm = 0;
    double peak_mm = 0;
    double increase_mm = 0;
    double increase_percent = 0;
    int full_s = 0;  // time with a rise at or above full_threshold_mm
    double area_mm_min = 0;
    EpisodeOrigin origin = EpisodeOrigin::Found;
    // The episode as the analysis found it (an added one: as the doctor drew it): what the
    // doctor's review changes find it by, however its bounds were moved since.
    int found_start_s = 0;
    int found_end_s = 0;
};

struct NightSummary {
    int valid_s = 0;     // recorded: written samples, up to the last one, times the period
    int analysed_s = 0;  // recorded time less the stretches left out
    int episodes = 0;    // how many
    int total_s = 0;     // sum of the episodes' durations
    int longest_s = 0;
    double mean_s = 0;  // mean duration; 0 without episodes
    double max_increase_mm = 0;
    double area_mm_min = 0;  // sum of the episodes' areas
    double per_hour = 0;     // episodes per analysed hour
    // The largest rise above the baseline held for three minutes anywhere in the analysed night,
    // episode or not: what a night without episodes did reach.
    double largest_rise_mm = 0;
};

struct NightAnalysis {
    AnalysisParameters parameters;
    int startSeconds = 0;  // time of day of the first sample, seconds since midnight
    std::vector<NightEpisode> episodes;
    NightSummary summary;
    NightQuality quality;
    // The flaccid diameter each rise was measured against, in millimetres, one value per written
    // sample: under an episode the line its increase is measured from, elsewhere the resting
    // level; NaN where the sample is left out or no level is known. Drawn under the curve.
    std::vector<double> baseline;
    // The doctor's review (night_review.h): the episodes rejected as artefacts, out of the table
    // and the summary, and the steps of the review that found no episode to change (the
    // parameters changed since), by their place in the review.
    std::vector<NightEpisode> rejected;
    std::vector<std::size_t> unapplied;
};

// Analyses the night. Throws std::invalid_argument carrying parametersError's text when the
// parameters cannot be used. Without a sample period or usable samples it reports no episodes
// and says why in the quality verdict.
NightAnalysis analyseNight(const NightRecording& recording, const AnalysisParameters& parameters);

}  // namespace npt
