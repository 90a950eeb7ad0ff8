// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/analysis_output.h"

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/analysis_text.h"
#include "analysis/night_facts.h"
#include "cli/json_writer.h"
#include "recorder/utf8.h"

namespace npt {

namespace {

// Writes "key":value pairs of one JSON object, commas between them.
class JsonObject {
  public:
    explicit JsonObject(std::ostream& out) : out_(out) { out_ << '{'; }
    ~JsonObject() { out_ << '}'; }
    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;

    std::ostream& key(const char* name) {
        out_ << (first_ ? "" : ",") << json::quoted(name) << ':';
        first_ = false;
        return out_;
    }
    void integer(const char* name, long long value) { key(name) << value; }
    void number(const char* name, double value) { key(name) << json::number(value); }
    void text(const char* name, const std::string& value) { key(name) << json::quoted(value); }

  private:
    std::ostream& out_;
    bool first_ = true;
};

// Characters a text takes on a terminal: its code points (the table's texts are Cyrillic and
// figures, all of single width).
std::size_t widthOf(const std::string& text) {
    const auto decoded = utf8::decode(text);
    return decoded ? decoded->size() : text.size();
}

std::string padded(const std::string& text, std::size_t width) {
    return std::string(width - std::min(width, widthOf(text)), ' ') + text;
}

void writeTable(std::ostream& out, const EpisodeRow& header, const std::vector<EpisodeRow>& rows) {
    std::array<std::size_t, kEpisodeColumnCount> widths{};
    for (std::size_t c = 0; c < widths.size(); ++c) {
        widths[c] = widthOf(header[c]);
        for (const EpisodeRow& row : rows) {
            widths[c] = std::max(widths[c], widthOf(row[c]));
        }
    }
    const auto line = [&](const auto& cells) {
        std::string text;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            text += (c == 0 ? "" : "  ") + padded(cells[c], widths[c]);
        }
        out << text << '\n';
    };
    line(header);
    for (const EpisodeRow& row : rows) {
        line(row);
    }
}

// "Исключено из анализа:" and one indented line per stretch: its times of night, duration and
// reason, the durations aligned.
void writeLeftOut(std::ostream& out, const std::vector<LeftOutRow>& rows) {
    if (rows.empty()) {
        return;
    }
    std::size_t width = 0;
    for (const LeftOutRow& row : rows) {
        width = std::max(width, widthOf(row.duration));
    }
    out << "Исключено из анализа:\n";
    for (const LeftOutRow& row : rows) {
        out << "  " << row.from << "–" << row.to << "  " << padded(row.duration, width) << "  "
            << row.reason << '\n';
    }
}

}  // namespace

void writeAnalysisJson(std::ostream& out, const NightAnalysis& a) {
    JsonObject analysis(out);
    {
        analysis.key("parameters");
        JsonObject p(out);
        p.number("threshold_mm", a.parameters.threshold_mm);
        p.integer("min_duration_s", a.parameters.min_duration_s);
        p.integer("merge_gap_s", a.parameters.merge_gap_s);
        p.number("full_threshold_mm", a.parameters.full_threshold_mm);
    }
    analysis.key("episodes") << '[';
    for (std::size_t i = 0; i < a.episodes.size(); ++i) {
        const NightEpisode& e = a.episodes[i];
        out << (i == 0 ? "" : ",");
        JsonObject o(out);
        o.integer("start_s", e.start_s);
        o.integer("end_s", e.end_s);
        o.text("start", e.start);
        o.text("end", e.end);
        o.integer("duration_s", e.duration_s);
        o.number("baseline_mm", e.baseline_mm);
        o.number("peak_mm", e.peak_mm);
        o.number("increase_mm", e.increase_mm);
        o.number("increase_percent", e.increase_percent);
        o.integer("full_s", e.full_s);
        o.number("area_mm_min", e.area_mm_min);
    }
    out << ']';
    {
        analysis.key("summary");
        // Every figure under its key, null where the night has none (the text leaves it out), so
        // that a program finds the same keys in every document.
        JsonObject s(out);
        for (const NightFactKind& kind : nightFactKinds()) {
            const auto value = nightFact(a, kind);
            s.key(kind.key) << (value ? json::number(*value) : "null");
        }
    }
    {
        analysis.key("quality");
        JsonObject q(out);
        q.integer("erased", a.quality.erased);
        q.integer("at_range_ends", a.quality.at_range_ends);
        q.integer("flat_s", a.quality.flat_s);
        q.text("verdict", a.quality.verdict);
        q.key("recording") << (a.quality.recording() ? "true" : "false");
        // The stretches the verdict names, each with its code for a program and its text for a
        // reader; shorter ones (a skipped sample) are only counted above.
        q.key("unusable") << '[';
        bool first = true;
        for (const Stretch& stretch : a.quality.stretches) {
            if (!stretch.named()) {
                continue;
            }
            out << (first ? "" : ",");
            first = false;
            JsonObject o(out);
            o.integer("start_s", stretch.start_s);
            o.integer("end_s", stretch.end_s);
            o.text("reason", faultCode(stretch.fault));
            o.text("text", faultText(stretch.fault));
        }
        out << ']';
    }
}

void writeAnalysisText(std::ostream& out, const NightAnalysis& a) {
    const auto field = [&out](const std::string& label, const std::string& value) {
        out << label << ':' << std::string(17 - std::min<std::size_t>(16, widthOf(label)), ' ')
            << value << '\n';
    };
    field("Анализ", summaryLine(a));
    field("Параметры", parametersText(a.parameters));
    field("Качество записи", a.quality.verdict);
    for (const auto& [label, value] : summaryFacts(a)) {
        field(label, value);
    }
    writeLeftOut(out, leftOutRows(a));
    if (!a.episodes.empty()) {
        out << "Эпизоды:\n";
        writeTable(out, episodeColumns(a.parameters), episodeRows(a));
    }
    out << kRigidityStatement << '\n';
}

}  // namespace npt
