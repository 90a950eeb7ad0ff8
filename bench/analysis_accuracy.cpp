// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// How accurate the night's analysis is on realistic nights with known truth (realistic_nights.h):
// it analyses each night with the default parameters, matches the episodes it found to the true
// ones and prints, per kind of night and for all of them, how many it found and missed and how
// far off their start, end and increase are; on faulty nights also how much of what had to be
// left out it left out, and whether its verdict still called the whole night fit for analysis.
//
//   analysis_accuracy [--verbose]     --verbose adds a line per night
//   analysis_accuracy --dump NAME     prints one night: its truth, then "seconds millimetres"
//                                     per written sample, to look at it beside the figures
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/night_analysis.h"
#include "realistic_nights.h"

namespace {

using npt::bench::NightKind;
using npt::bench::RealisticNight;

// The verdict that tells the doctor the whole night can be trusted: the words alone, or with a
// note of single samples not counted, and nothing named as left out.
bool reassures(const std::string& verdict) {
    const std::string fit = "данные пригодны для анализа";
    // A note may follow: single samples not counted, or a recording too short for a whole night.
    return verdict == fit || verdict.starts_with(fit + " (") || verdict.starts_with(fit + "; ");
}

struct Match {
    int found;
    int truth;
};

double overlap(double a0, double a1, double b0, double b1) {
    return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

// One to one, the pairs overlapping most first.
std::vector<Match> matchEpisodes(const std::vector<npt::NightEpisode>& found,
                                 const std::vector<npt::bench::TrueEpisode>& truth) {
    struct Pair {
        double overlap;
        int found, truth;
    };
    std::vector<Pair> pairs;
    for (int f = 0; f < static_cast<int>(found.size()); ++f) {
        for (int t = 0; t < static_cast<int>(truth.size()); ++t) {
            const double o =
                overlap(found[f].start_s, found[f].end_s, truth[t].start_s, truth[t].end_s);
            if (o > 0) {
                pairs.push_back({o, f, t});
            }
        }
    }
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const Pair& a, const Pair& b) { return a.overlap > b.overlap; });
    std::vector<bool> foundTaken(found.size()), truthTaken(truth.size());
    std::vector<Match> matches;
    for (const Pair& p : pairs) {
        if (!foundTaken[p.found] && !truthTaken[p.truth]) {
            foundTaken[p.found] = truthTaken[p.truth] = true;
            matches.push_back({p.found, p.truth});
        }
    }
    return matches;
}

// Seconds of the night marked, one flag per second.
std::vector<bool> secondsIn(const std::vector<std::pair<double, double>>& stretches, int length) {
    std::vector<bool> marked(static_cast<std::size_t>(length), false);
    for (const auto& [start, end] : stretches) {
        const int from = std::clamp(static_cast<int>(std::floor(start)), 0, length);
        const int to = std::clamp(static_cast<int>(std::ceil(end)), 0, length);
        std::fill(marked.begin() + from, marked.begin() + to, true);
    }
    return marked;
}

struct NightFigures {
    int truth = 0, found = 0, matched = 0;
    int split = 0;     // true episodes overlapped by more than one found episode
    int spurious = 0;  // found episodes overlapping no true one
    std::vector<double> startErrors_s, endErrors_s, increaseErrors_mm;
    double tumescenceError_min = 0;  // found - true total time in episodes
    double toLeaveOut_min = 0, leftOut_min = 0, extraLeftOut_min = 0;
    bool reassuring = false;
};

NightFigures measure(const RealisticNight& night, const npt::NightAnalysis& analysis) {
    NightFigures f;
    f.truth = static_cast<int>(night.episodes.size());
    f.found = static_cast<int>(analysis.episodes.size());
    const std::vector<Match> matches = matchEpisodes(analysis.episodes, night.episodes);
    f.matched = static_cast<int>(matches.size());
    std::vector<int> piecesOf(night.episodes.size(), 0);
    for (const npt::NightEpisode& found : analysis.episodes) {
        bool overlapsOne = false;
        for (std::size_t t = 0; t < night.episodes.size(); ++t) {
            if (overlap(found.start_s, found.end_s, night.episodes[t].start_s,
                        night.episodes[t].end_s) > 0) {
                ++piecesOf[t];
                overlapsOne = true;
            }
        }
        f.spurious += !overlapsOne;
    }
    f.split = static_cast<int>(
        std::count_if(piecesOf.begin(), piecesOf.end(), [](int pieces) { return pieces > 1; }));
    for (const Match& m : matches) {
        const npt::NightEpisode& found = analysis.episodes[static_cast<std::size_t>(m.found)];
        const npt::bench::TrueEpisode& truth = night.episodes[static_cast<std::size_t>(m.truth)];
        f.startErrors_s.push_back(std::abs(found.start_s - truth.start_s));
        f.endErrors_s.push_back(std::abs(found.end_s - truth.end_s));
        f.increaseErrors_mm.push_back(std::abs(found.increase_mm - truth.increase_mm));
    }
    double trueTotal = 0;
    for (const auto& e : night.episodes) {
        trueTotal += e.end_s - e.start_s;
    }
    f.tumescenceError_min = (analysis.summary.total_s - trueTotal) / 60;

    const int length = static_cast<int>(night.bytes.size()) * night.periodSeconds;
    std::vector<std::pair<double, double>> truthStretches, foundStretches;
    for (const auto& s : night.toLeaveOut) {
        truthStretches.emplace_back(s.start_s, s.end_s);
    }
    for (const npt::Stretch& s : analysis.quality.stretches) {
        foundStretches.emplace_back(s.start_s, s.end_s);
    }
    const std::vector<bool> mustGo = secondsIn(truthStretches, length);
    const std::vector<bool> wentOut = secondsIn(foundStretches, length);
    for (int s = 0; s < length; ++s) {
        f.toLeaveOut_min += mustGo[s] / 60.0;
        f.leftOut_min += (mustGo[s] && wentOut[s]) / 60.0;
        f.extraLeftOut_min += (!mustGo[s] && wentOut[s]) / 60.0;
    }
    f.reassuring = reassures(analysis.quality.verdict);
    return f;
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nearest rank: the smallest value at or above which lie no more than 10 % of the values.
double percentile90(std::vector<double> values) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(0.9 * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

struct GroupFigures {
    std::string name;
    bool faulty = false;                  // it holds stretches that had to be left out
    const char* verdictShouldBe = "all";  // on how many nights the verdict should reassure
    int nights = 0, truth = 0, found = 0, matched = 0, split = 0, spurious = 0, reassuring = 0;
    std::vector<double> startErrors_s, endErrors_s, increaseErrors_mm, tumescenceErrors_min;
    double toLeaveOut_min = 0, leftOut_min = 0, extraLeftOut_min = 0;

    void add(const NightFigures& f) {
        ++nights;
        truth += f.truth;
        found += f.found;
        matched += f.matched;
        split += f.split;
        spurious += f.spurious;
        reassuring += f.reassuring;
        startErrors_s.insert(startErrors_s.end(), f.startErrors_s.begin(), f.startErrors_s.end());
        endErrors_s.insert(endErrors_s.end(), f.endErrors_s.begin(), f.endErrors_s.end());
        increaseErrors_mm.insert(increaseErrors_mm.end(), f.increaseErrors_mm.begin(),
                                 f.increaseErrors_mm.end());
        tumescenceErrors_min.push_back(f.tumescenceError_min);
        toLeaveOut_min += f.toLeaveOut_min;
        leftOut_min += f.leftOut_min;
        extraLeftOut_min += f.extraLeftOut_min;
    }

    void print() const {
        std::vector<double> absTumescence;
        double signedSum = 0;
        for (double e : tumescenceErrors_min) {
            absTumescence.push_back(std::abs(e));
            signedSum += e;
        }
        std::printf("%s: %d nights\n", name.c_str(), nights);
        std::printf(
            "  episodes: true %d, found %d, matched %d; precision %.1f %%, recall %.1f %%\n", truth,
            found, matched, found ? 100.0 * matched / found : NAN,
            truth ? 100.0 * matched / truth : NAN);
        std::printf(
            "  true episodes found in pieces: %d; found episodes overlapping no true one: %d\n",
            split, spurious);
        std::printf("  |start error|: median %.0f s, 90th percentile %.0f s\n",
                    median(startErrors_s), percentile90(startErrors_s));
        std::printf("  |end error|: median %.0f s, 90th percentile %.0f s\n", median(endErrors_s),
                    percentile90(endErrors_s));
        std::printf("  |increase error|: median %.2f mm, 90th percentile %.2f mm\n",
                    median(increaseErrors_mm), percentile90(increaseErrors_mm));
        std::printf(
            "  total tumescence time error per night: median |error| %.1f min, 90th percentile "
            "%.1f min, mean (found - true) %+.1f min\n",
            median(absTumescence), percentile90(absTumescence), nights ? signedSum / nights : NAN);
        if (faulty) {
            std::printf("  left out: %.0f of %.0f min that had to be (%.1f %%)", leftOut_min,
                        toLeaveOut_min,
                        toLeaveOut_min > 0 ? 100.0 * leftOut_min / toLeaveOut_min : NAN);
        } else {
            std::printf("  left out: nothing had to be");
        }
        std::printf("; %.0f min left out that should not have been\n", extraLeftOut_min);
        std::printf("  verdict \"данные пригодны для анализа\": %d of %d nights (should be: %s)\n",
                    reassuring, nights, verdictShouldBe);
    }
};

// The night's truth as comment lines, then its written samples in millimetres.
int dump(const std::vector<RealisticNight>& nights, const std::string& name) {
    const auto night = std::find_if(nights.begin(), nights.end(),
                                    [&](const RealisticNight& n) { return n.name == name; });
    if (night == nights.end()) {
        std::fprintf(stderr, "analysis_accuracy: no night named %s\n", name.c_str());
        return 2;
    }
    for (const auto& e : night->episodes) {
        std::printf("# episode %.0f %.0f %.2f\n", e.start_s, e.end_s, e.increase_mm);
    }
    for (const auto& s : night->toLeaveOut) {
        std::printf("# leave-out %.0f %.0f\n", s.start_s, s.end_s);
    }
    for (std::size_t i = 0; i < night->bytes.size() && night->bytes[i] != 0xFF; ++i) {
        std::printf("%zu %.1f\n", i * night->periodSeconds, 9.6 + 0.2 * night->bytes[i]);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<RealisticNight> nights = npt::bench::realisticNights();
    if (argc == 3 && std::strcmp(argv[1], "--dump") == 0) {
        return dump(nights, argv[2]);
    }
    const bool verbose = argc > 1 && std::strcmp(argv[1], "--verbose") == 0;
    if (argc > 2 || (argc == 2 && !verbose)) {
        std::fprintf(stderr, "usage: analysis_accuracy [--verbose | --dump NIGHT]\n");
        return 2;
    }

    std::vector<GroupFigures> groups;
    for (NightKind kind : npt::bench::kAllKinds) {
        GroupFigures g;
        g.name = npt::bench::kindName(kind);
        g.faulty = npt::bench::hasStretchesToLeaveOut(kind);
        g.verdictShouldBe = g.faulty ? "none" : "all";
        groups.push_back(g);
    }
    GroupFigures all;
    all.name = "all";
    all.verdictShouldBe = "the clean and quiet ones only";

    std::printf("The night's analysis with its default parameters on %zu realistic nights\n\n",
                nights.size());
    if (verbose) {
        std::printf(
            "night              period  true found matched  TTT true/found min  "
            "to leave out/left out/extra min  verdict\n");
    }
    for (const RealisticNight& night : nights) {
        const npt::NightAnalysis analysis =
            npt::analyseNight({night.bytes, night.periodSeconds, night.startSeconds}, {});
        const NightFigures f = measure(night, analysis);
        const auto index =
            static_cast<std::size_t>(std::find(std::begin(npt::bench::kAllKinds),
                                               std::end(npt::bench::kAllKinds), night.kind) -
                                     std::begin(npt::bench::kAllKinds));
        groups[index].add(f);
        all.add(f);
        if (verbose) {
            double trueTotal = 0;
            for (const auto& e : night.episodes) {
                trueTotal += e.end_s - e.start_s;
            }
            std::printf("%-18s %4d s %5d %5d %7d  %8.1f / %-8.1f  %8.0f / %4.0f / %4.0f  %s\n",
                        night.name.c_str(), night.periodSeconds, f.truth, f.found, f.matched,
                        trueTotal / 60, analysis.summary.total_s / 60.0, f.toLeaveOut_min,
                        f.leftOut_min, f.extraLeftOut_min, analysis.quality.verdict.c_str());
        }
    }
    if (verbose) {
        std::printf("\n");
    }
    for (const GroupFigures& g : groups) {
        g.print();
    }
    // Over all nights the left-out share is of every faulty night's stretches.
    all.faulty = all.toLeaveOut_min > 0;
    all.print();
    return 0;
}
