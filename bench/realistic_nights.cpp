// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "realistic_nights.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <random>

namespace npt::bench {

namespace {

constexpr int kPositions = 4320;
constexpr double kThresholdMm = 3.0;  // the analysis's default, where the truth is measured
constexpr double kMinute = 60;
constexpr double kHour = 3600;

// Draws from a Mersenne Twister with distributions of our own: the standard library's
// distributions differ between implementations, the engine does not.
class Random {
  public:
    explicit Random(std::uint32_t seed) : engine_(seed) {}

    // Uniform in [0, 1), from 53 bits.
    double uniform() {
        const double high = static_cast<double>(engine_() >> 5);
        const double low = static_cast<double>(engine_() >> 6);
        return (high * 67108864.0 + low) / 9007199254740992.0;
    }
    double uniform(double low, double high) { return low + (high - low) * uniform(); }
    // Uniform over low..high, both included.
    int integer(int low, int high) {
        return std::min(high, low + static_cast<int>(uniform() * (high - low + 1)));
    }
    bool chance(double probability) { return uniform() < probability; }
    // Standard normal, by the Box–Muller transform.
    double normal() {
        if (spare_) {
            spare_ = false;
            return spareValue_;
        }
        const double u1 = 1.0 - uniform();  // in (0, 1]: the logarithm stays finite
        const double u2 = uniform();
        const double radius = std::sqrt(-2.0 * std::log(u1));
        spareValue_ = radius * std::sin(2 * std::numbers::pi * u2);
        spare_ = true;
        return radius * std::cos(2 * std::numbers::pi * u2);
    }

  private:
    std::mt19937 engine_;
    bool spare_ = false;
    double spareValue_ = 0;
};

double smoothstep(double x) {
    x = std::clamp(x, 0.0, 1.0);
    return x * x * (3 - 2 * x);
}

// The x in [0, 1] where smoothstep(x) = level, by bisection (smoothstep rises monotonically).
double smoothstepAt(double level) {
    double low = 0, high = 1;
    for (int i = 0; i < 60; ++i) {
        const double middle = (low + high) / 2;
        (smoothstep(middle) < level ? low : high) = middle;
    }
    return (low + high) / 2;
}

// A rise above the resting diameter: an S-shaped rise, a plateau that oscillates slowly around
// its height (fading in and out over one oscillation at its ends, so the curve has no step) and
// an S-shaped fall.
struct Rise {
    double onset_s = 0;
    double up_s = 0;
    double plateau_s = 0;
    double down_s = 0;
    double height_mm = 0;
    double wobble_mm = 0;  // amplitude of the plateau's oscillation
    double wobblePeriod_s = 300;

    double end_s() const { return onset_s + up_s + plateau_s + down_s; }

    double at(double t) const {
        const double in = t - onset_s;
        if (in < 0 || t >= end_s()) {
            return 0;
        }
        if (in < up_s) {
            return height_mm * smoothstep(in / up_s);
        }
        const double onPlateau = in - up_s;
        if (onPlateau < plateau_s) {
            const double fade = std::min(
                {1.0, onPlateau / wobblePeriod_s, (plateau_s - onPlateau) / wobblePeriod_s});
            return height_mm +
                   wobble_mm * fade * std::sin(2 * std::numbers::pi * onPlateau / wobblePeriod_s);
        }
        return height_mm * (1 - smoothstep((onPlateau - plateau_s) / down_s));
    }

    // Where the noise-free rise crosses the threshold upward and downward. The plateau stays at
    // least 0,2 mm above the threshold, so these are the only crossings.
    TrueEpisode truth() const {
        const double up = onset_s + up_s * smoothstepAt(kThresholdMm / height_mm);
        const double down =
            onset_s + up_s + plateau_s + down_s * smoothstepAt(1 - kThresholdMm / height_mm);
        return {up, down, height_mm};
    }
};

// An episode that stays above the threshold for `above_s`, with ramps of about the given lengths
// (shortened when the episode is too short to hold them and a minute of plateau).
Rise episodeShape(Random& random, double above_s, double height_mm) {
    Rise r;
    r.height_mm = height_mm;
    r.up_s = random.uniform(2, 10) * kMinute;
    r.down_s = random.uniform(2, 12) * kMinute;
    const double aboveOnRamps = (r.up_s + r.down_s) * (1 - smoothstepAt(kThresholdMm / height_mm));
    if (above_s - aboveOnRamps < kMinute) {
        const double scale = (above_s - kMinute) / aboveOnRamps;
        r.up_s *= scale;
        r.down_s *= scale;
    }
    r.plateau_s = above_s - (r.up_s + r.down_s) * (1 - smoothstepAt(kThresholdMm / height_mm));
    r.wobble_mm =
        random.uniform(0, std::min({0.6, 0.1 * height_mm, height_mm - kThresholdMm - 0.2}));
    r.wobblePeriod_s = random.uniform(2, 8) * kMinute;
    return r;
}

// A rise that stays below the threshold: the body's partial response in light sleep.
Rise partialShape(Random& random) {
    Rise r;
    r.height_mm = random.uniform(1.0, 2.4);
    const double length = random.uniform(4, 15) * kMinute;
    r.up_s = length * random.uniform(0.3, 0.45);
    r.down_s = length * random.uniform(0.3, 0.45);
    r.plateau_s = length - r.up_s - r.down_s;
    return r;
}

// The patient's body under a worn sensor: the resting diameter and the rises above it.
struct Body {
    double rest_mm = 26;
    double drift_mm = 0;  // linear, over twelve hours
    double span_s = 12 * kHour;
    double wander_mm = 0;
    double wanderPeriod_s = 4 * kHour;
    double wanderPhase = 0;
    double noise_mm = 0.3;
    std::vector<Rise> episodes;
    std::vector<Rise> partials;

    double restAt(double t) const {
        return rest_mm + drift_mm * t / span_s +
               wander_mm * std::sin(2 * std::numbers::pi * t / wanderPeriod_s + wanderPhase);
    }
    double at(double t) const {
        double mm = restAt(t);
        for (const Rise& r : episodes) {
            mm += r.at(t);
        }
        for (const Rise& r : partials) {
            mm += r.at(t);
        }
        return mm;
    }
};

struct Schedule {
    double sleepStart_s;  // when the patient falls asleep
    double end_s;         // every episode ends at least ten minutes before this
    int episodes;         // how many to aim for
    bool withLongOne;     // one of them lasts 100–180 min
    bool shortRecording;  // a 72-min recording: the first episode soon after the start
};

// Episodes in REM-like cycles, and partial rises in the rest between them.
void scheduleRises(Random& random, const Schedule& schedule, Body& body) {
    const double nightHeight = random.uniform(3.5, 14);
    const int longIndex = schedule.withLongOne ? random.integer(1, 2) : -1;
    double onset =
        schedule.sleepStart_s +
        (schedule.shortRecording ? random.uniform(10, 25) : random.uniform(60, 100)) * kMinute;
    for (int k = 0; k < schedule.episodes; ++k) {
        double aboveMin = k == longIndex ? random.uniform(100, 180)
                          : k == 0       ? random.uniform(6, 25)
                                         : random.uniform(8, 45);
        if (schedule.shortRecording) {
            aboveMin = random.uniform(6, 25);
        }
        const double height = std::clamp(nightHeight * random.uniform(0.6, 1.0), 3.5, 14.0);
        Rise r = episodeShape(random, aboveMin * kMinute, height);
        r.onset_s = onset;
        const double room = schedule.end_s - 10 * kMinute;
        const double excess = r.end_s() - room;
        if (k == longIndex && excess > 0 && aboveMin * kMinute - excess >= 100 * kMinute) {
            r.plateau_s -= excess;  // the long one shortened to what the night holds, still long
        }
        if (r.end_s() > room) {
            break;
        }
        body.episodes.push_back(r);
        const double cycle = random.uniform(80, 110) * kMinute;
        const double restAfter =
            (schedule.shortRecording ? random.uniform(8, 15) : random.uniform(15, 40)) * kMinute;
        onset = std::max(onset + cycle, r.end_s() + restAfter);
    }
    const int partials = random.integer(0, schedule.shortRecording ? 1 : 3);
    for (int k = 0; k < partials; ++k) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            Rise p = partialShape(random);
            p.onset_s = random.uniform(schedule.sleepStart_s, schedule.end_s - p.end_s());
            const bool clear =
                std::none_of(body.episodes.begin(), body.episodes.end(), [&](const Rise& e) {
                    return p.onset_s < e.end_s() + 5 * kMinute &&
                           e.onset_s < p.end_s() + 5 * kMinute;
                });
            if (clear) {
                body.partials.push_back(p);
                break;
            }
        }
    }
}

Body restingBody(Random& random) {
    Body body;
    body.rest_mm = random.uniform(22, 32);
    body.drift_mm = random.uniform(-3, 3);
    body.span_s = 12 * kHour;
    body.wander_mm = random.uniform(0, 0.5);
    body.wanderPeriod_s = random.uniform(3, 6) * kHour;
    body.wanderPhase = random.uniform(0, 2 * std::numbers::pi);
    body.noise_mm = random.uniform(0.1, 0.6);
    return body;
}

// Removes every rise that would touch [from, to) widened by two minutes: the sensor did not see
// it, and a rise cut in two by the fault would have no truth.
void dropRisesTouching(Body& body, double from, double to) {
    const auto touches = [&](const Rise& r) {
        return r.onset_s < to + 2 * kMinute && from - 2 * kMinute < r.end_s();
    };
    std::erase_if(body.episodes, touches);
    std::erase_if(body.partials, touches);
}

// A stretch where the sensor reads something else than the body: lying on a table or in the
// bed, or shifted. Its edges are passed within one or two samples.
struct Overlay {
    double from_s;
    double to_s;
    bool offset;      // true: the body plus `level_mm`; false: `level_mm` itself
    double level_mm;  // the level off the body, or the shift
    double noise_mm;  // the noise off the body
};

class NightBuilder {
  public:
    NightBuilder(std::uint32_t seed, std::uint8_t period) : random(seed), period_(period) {}

    Random random;

    double memory_s() const { return kPositions * static_cast<double>(period_); }

    // Samples the body (and the overlays) from the first position up to `written_s`.
    RealisticNight build(std::string name, NightKind kind, const Body& body, double written_s,
                         const std::vector<Overlay>& overlays) {
        RealisticNight night;
        night.name = std::move(name);
        night.kind = kind;
        night.periodSeconds = period_;
        night.startSeconds = static_cast<int>(random.uniform(21.5, 23.5) * kHour);
        night.bytes.assign(kPositions, 0xFF);
        const int written = std::min(kPositions, static_cast<int>(written_s / period_));
        for (int i = 0; i < written; ++i) {
            const double t = static_cast<double>(i) * period_;
            double mm = body.at(t) + body.noise_mm * random.normal();
            for (const Overlay& o : overlays) {
                mm = overlaid(o, t, mm, written_s);
            }
            night.bytes[static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(std::clamp(std::lround((mm - 9.6) / 0.2), 1L, 253L));
        }
        const double end = static_cast<double>(written) * period_;
        for (const Rise& r : body.episodes) {
            TrueEpisode e = r.truth();
            if (e.start_s < end) {
                e.end_s = std::min(e.end_s, end);
                night.episodes.push_back(e);
            }
        }
        for (const Overlay& o : overlays) {
            night.toLeaveOut.push_back({o.from_s, std::min(o.to_s, end)});
        }
        std::sort(night.episodes.begin(), night.episodes.end(),
                  [](const TrueEpisode& a, const TrueEpisode& b) { return a.start_s < b.start_s; });
        std::sort(night.toLeaveOut.begin(), night.toLeaveOut.end(),
                  [](const TrueStretch& a, const TrueStretch& b) { return a.start_s < b.start_s; });
        return night;
    }

  private:
    // The reading at t with the overlay applied; at its edges one sample in two lies between
    // the two levels, as when the sensor moves during the sample.
    double overlaid(const Overlay& o, double t, double bodyMm, double written_s) {
        const double inside =
            o.offset ? bodyMm + o.level_mm : o.level_mm + o.noise_mm * random.normal();
        const double edgeIn = t - o.from_s;  // >= 0 inside
        const double edgeOut = o.to_s - t;   // > 0 inside
        if (edgeIn >= 0 && edgeOut > 0) {
            const bool atEdge =
                (edgeIn < period_ && o.from_s > 0) || (edgeOut <= period_ && o.to_s < written_s);
            if (atEdge && !o.offset && random.chance(0.5)) {
                return bodyMm + random.uniform(0.2, 0.8) * (inside - bodyMm);
            }
            return inside;
        }
        return bodyMm;
    }

    std::uint8_t period_;
};

std::string numbered(const char* prefix, int index) {
    char text[32];
    std::snprintf(text, sizeof text, "%s-%02d", prefix, index + 1);
    return text;
}

// A whole worn night at the given period: a 10-s recording stopped in the morning after
// 7,5–10 h, a 5-s one or a 1-s one filling the memory.
struct WornNight {
    Body body;
    double written_s = 0;
};

WornNight wornNight(NightBuilder& b, std::uint8_t period, bool withLongOne, double wornFrom_s,
                    double wornUntil_s) {
    WornNight night{restingBody(b.random), 0};
    const bool shortRecording = period == 1;
    Schedule schedule{wornFrom_s + (shortRecording ? 0 : b.random.uniform(10, 40) * kMinute),
                      wornUntil_s,
                      shortRecording ? b.random.integer(1, 2)
                      : period == 5  ? b.random.integer(3, 4)
                                     : b.random.integer(4, 6),
                      withLongOne, shortRecording};
    scheduleRises(b.random, schedule, night.body);
    night.written_s = wornUntil_s;
    return night;
}

double cleanEnd(NightBuilder& b, std::uint8_t period) {
    return period == 10 ? b.random.uniform(7.5, 10) * kHour : b.memory_s();
}

RealisticNight cleanNight(int index) {
    const std::uint8_t period = index < 24 ? 10 : index < 34 ? 5 : 1;
    const bool withLongOne = (period == 10 && index % 4 == 1) || (period == 5 && index % 5 == 2);
    NightBuilder b(1000 + static_cast<std::uint32_t>(index), period);
    const WornNight night = wornNight(b, period, withLongOne, 0, cleanEnd(b, period));
    return b.build(numbered("clean", index), NightKind::Clean, night.body, night.written_s, {});
}

double tableLevel(Random& random) {
    return random.uniform(14.5, 15.5);
}

RealisticNight faultyNight(NightKind kind, int index) {
    const std::uint8_t period = kind == NightKind::Quiet ? (index < 4   ? 10
                                                            : index < 6 ? 5
                                                                        : 1)
                                                         : (index < 6 ? 10 : 5);
    NightBuilder b(
        2000 + 100 * static_cast<std::uint32_t>(kind) + static_cast<std::uint32_t>(index), period);
    const double memory = b.memory_s();
    const bool withLongOne = index % 4 == 3;
    std::vector<Overlay> overlays;
    WornNight night;
    switch (kind) {
        case NightKind::LeftOnTable: {
            // Worn until the morning, then on the table until the memory is full.
            const double off = period == 10 ? b.random.uniform(7, 9.5) * kHour
                                            : b.random.uniform(4.5, 5.5) * kHour;
            night = wornNight(b, period, withLongOne, 0, off);
            overlays.push_back(
                {off, memory, false, tableLevel(b.random), b.random.uniform(0.05, 0.15)});
            night.written_s = memory;
            break;
        }
        case NightKind::SlippedOff: {
            night = wornNight(b, period, withLongOne, 0, cleanEnd(b, period));
            const double length = b.random.uniform(60, 120) * kMinute;
            const double from =
                b.random.uniform(1 * kHour, night.written_s - length - 30 * kMinute);
            dropRisesTouching(night.body, from, from + length);
            overlays.push_back({from, from + length, false, b.random.uniform(12.5, 13.5),
                                b.random.uniform(0.05, 0.3)});
            break;
        }
        case NightKind::PutOnLate: {
            // On the table from the start, then on the body; the recorder stopped as on a clean
            // night, counted from when the sensor was put on.
            const double on = b.random.uniform(30, 90) * kMinute;
            const double end =
                period == 10 ? std::min(memory, on + b.random.uniform(7, 9.5) * kHour) : memory;
            night = wornNight(b, period, withLongOne, on, end);
            overlays.push_back({0, on, false, tableLevel(b.random), b.random.uniform(0.05, 0.15)});
            break;
        }
        case NightKind::Shifted: {
            night = wornNight(b, period, withLongOne, 0, cleanEnd(b, period));
            const int shifts = b.random.integer(1, 3);
            for (int attempt = 0; attempt < 200 && static_cast<int>(overlays.size()) < shifts;
                 ++attempt) {
                const double length = b.random.uniform(10, 60) * kMinute;
                const double from =
                    b.random.uniform(20 * kMinute, night.written_s - length - 20 * kMinute);
                // A turn in bed, in rest: clear of every rise and of the other shifts.
                const auto near = [&](double start, double end) {
                    return from < end + 5 * kMinute && start < from + length + 5 * kMinute;
                };
                const bool clear =
                    std::none_of(night.body.episodes.begin(), night.body.episodes.end(),
                                 [&](const Rise& r) { return near(r.onset_s, r.end_s()); }) &&
                    std::none_of(night.body.partials.begin(), night.body.partials.end(),
                                 [&](const Rise& r) { return near(r.onset_s, r.end_s()); }) &&
                    std::none_of(overlays.begin(), overlays.end(),
                                 [&](const Overlay& o) { return near(o.from_s, o.to_s); });
                if (clear) {
                    const double jump =
                        b.random.uniform(3, 4) * (b.random.chance(2.0 / 3) ? 1 : -1);
                    overlays.push_back({from, from + length, true, jump, 0});
                }
            }
            break;
        }
        case NightKind::Quiet: {
            night = wornNight(b, period, withLongOne, 0, cleanEnd(b, period));
            // A level on the boundary between two bytes, held within a tenth of a millimetre.
            night.body.rest_mm = 9.6 + 0.2 * (b.random.integer(62, 111) + 0.5);
            night.body.drift_mm = b.random.uniform(-0.1, 0.1);
            night.body.wander_mm = 0;
            night.body.noise_mm = b.random.uniform(0.02, 0.06);
            break;
        }
        case NightKind::PutBackWhileErect: {
            // Off in the bed in the early morning; put back during an erection that lasts until
            // the memory is full.
            const double back = memory - b.random.uniform(20, 60) * kMinute;
            const double off = back - b.random.uniform(30, 90) * kMinute;
            night = wornNight(b, period, withLongOne, 0, off);
            Rise erection;
            erection.height_mm = b.random.uniform(4, 12);
            erection.onset_s = off + (back - off) * b.random.uniform(0.3, 0.9);
            erection.up_s = b.random.uniform(2, 10) * kMinute;
            erection.plateau_s = 2 * memory;  // beyond the end of the memory
            erection.down_s = kMinute;
            erection.wobble_mm = b.random.uniform(0, std::min(0.6, 0.1 * erection.height_mm));
            erection.wobblePeriod_s = b.random.uniform(2, 8) * kMinute;
            night.body.episodes.push_back(erection);
            overlays.push_back(
                {off, back, false, b.random.uniform(12.5, 13.5), b.random.uniform(0.05, 0.3)});
            night.written_s = memory;
            break;
        }
        case NightKind::Clean:
            break;
    }
    RealisticNight result =
        b.build(numbered(kindName(kind), index), kind, night.body, night.written_s, overlays);
    if (kind == NightKind::PutBackWhileErect) {
        // The sensor saw the erection only from when it was put back.
        TrueEpisode& last = result.episodes.back();
        last.start_s = std::max(last.start_s, overlays.front().to_s);
    }
    return result;
}

}  // namespace

const char* kindName(NightKind kind) {
    switch (kind) {
        case NightKind::Clean:
            return "clean";
        case NightKind::LeftOnTable:
            return "left-on-table";
        case NightKind::SlippedOff:
            return "slipped-off";
        case NightKind::PutOnLate:
            return "put-on-late";
        case NightKind::Shifted:
            return "shifted";
        case NightKind::Quiet:
            return "quiet";
        case NightKind::PutBackWhileErect:
            return "put-back-erect";
    }
    return "";
}

bool hasStretchesToLeaveOut(NightKind kind) {
    return kind != NightKind::Clean && kind != NightKind::Quiet;
}

std::vector<RealisticNight> realisticNights() {
    std::vector<RealisticNight> nights;
    nights.reserve(40 + std::size(kAllKinds) * 8);
    for (int i = 0; i < 40; ++i) {
        nights.push_back(cleanNight(i));
    }
    for (NightKind kind : kAllKinds) {
        if (kind == NightKind::Clean) {
            continue;
        }
        for (int i = 0; i < 8; ++i) {
            nights.push_back(faultyNight(kind, i));
        }
    }
    return nights;
}

}  // namespace npt::bench
