// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Synthetic nights for the analysis tests: a resting diameter with sensor noise and drift, and
// rises of given onset, length and height, stored as the recorder stores them (one byte per
// period, 4320 positions, 0xFF after the end of the recording).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "analysis/night_recording.h"

namespace npt::test {

class SyntheticNight {
  public:
    explicit SyntheticNight(std::uint8_t periodSeconds, int startSeconds = 22 * 3600)
        : period_(periodSeconds), start_(startSeconds) {}

    SyntheticNight& rest(double mm) {
        restMm_ = mm;
        return *this;
    }
    // Gaussian sensor noise of the given standard deviation (0 for none).
    SyntheticNight& noise(double mm) {
        noiseMm_ = mm;
        return *this;
    }
    // A linear drift of the resting diameter over the whole memory.
    SyntheticNight& drift(double mmOverNight) {
        driftMm_ = mmOverNight;
        return *this;
    }
    // A rise of `lift` mm starting at `onsetMin` minutes after the first sample, reaching its
    // height over `rampMin` minutes and back to rest at onsetMin + lengthMin.
    SyntheticNight& rise(double onsetMin, double lengthMin, double lift, double rampMin = 1) {
        rises_.push_back({onsetMin, lengthMin, lift, rampMin});
        return *this;
    }
    // The sensor is off the body from `fromMin` to `toMin`: it reads `levelMm` (a table, a
    // collapsed loop) with its own small noise, whatever the body does meanwhile.
    SyntheticNight& off(double fromMin, double toMin, double levelMm, double noiseMm = 0.08) {
        offs_.push_back({fromMin, toMin, levelMm, noiseMm});
        return *this;
    }
    // The sensor shifts along the shaft: from `fromMin` to `toMin` every reading is `mm` higher
    // (or lower), the change taking place within one sample.
    SyntheticNight& shift(double fromMin, double toMin, double mm) {
        shifts_.push_back({fromMin, toMin, mm});
        return *this;
    }
    // The recorder stops writing after this many minutes; the rest of the memory stays erased.
    SyntheticNight& endsAfter(double minutes) {
        endMin_ = minutes;
        return *this;
    }

    std::vector<std::uint8_t> bytes() const {
        constexpr std::size_t kPositions = 4320;
        std::vector<std::uint8_t> out(kPositions, 0xFF);
        std::mt19937 random(7);
        std::normal_distribution<double> gauss(0.0, 1.0);
        for (std::size_t i = 0; i < kPositions; ++i) {
            const double minute = static_cast<double>(i) * period_ / 60.0;
            if (minute >= endMin_) {
                break;
            }
            double mm =
                restMm_ + driftMm_ * static_cast<double>(i) / kPositions + noiseMm_ * gauss(random);
            for (const Rise& r : rises_) {
                mm += r.at(minute);
            }
            for (const Shift& shift : shifts_) {
                mm += minute >= shift.from && minute < shift.to ? shift.mm : 0;
            }
            for (const Off& o : offs_) {
                if (minute >= o.from && minute < o.to) {
                    mm = o.level + o.noise * gauss(random);
                }
            }
            out[i] = static_cast<std::uint8_t>(std::clamp(std::lround((mm - 9.6) / 0.2), 1L, 253L));
        }
        return out;
    }

    std::uint8_t period() const { return period_; }
    int start() const { return start_; }

  private:
    struct Rise {
        double onset, length, lift, ramp;
        double at(double minute) const {
            const double in = minute - onset;
            const double out = onset + length - minute;
            if (in < 0 || out <= 0) {
                return 0;
            }
            return lift * std::min({1.0, in / ramp, out / ramp});
        }
    };
    struct Off {
        double from, to, level, noise;
    };
    struct Shift {
        double from, to, mm;
    };
    std::uint8_t period_;
    int start_;
    double restMm_ = 26.0;
    double noiseMm_ = 0.25;
    double driftMm_ = 0;
    double endMin_ = 1e9;
    std::vector<Rise> rises_;
    std::vector<Off> offs_;
    std::vector<Shift> shifts_;
};

// The recording's bytes must outlive what is analysed; the fixture keeps them.
struct HeldNight {
    std::vector<std::uint8_t> bytes;
    std::uint8_t period;
    int start;
    explicit HeldNight(const SyntheticNight& night)
        : bytes(night.bytes()), period(night.period()), start(night.start()) {}
    NightRecording recording() const { return {bytes, period, start}; }
};

}  // namespace npt::test
