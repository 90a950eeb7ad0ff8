// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The night's analysis in the window: analysed after every drawing of a recording, shown as a
// line under the chart, as bands on it and in the dialog "Анализ ночи"; its parameters kept in
// the settings file; the one-page report.
#include <stdexcept>
#include <utility>

#include "analysis/analysis_text.h"
#include "app/ttm_form.h"
#include "measure/time_of_day.h"
#include "os/file_name.h"
#include "recorder/example_night.h"
#include "recorder/recording_check.h"

namespace npt {

namespace {
constexpr const char* kReportTitle = "Отчёт";
constexpr const char* kNothingToReport =
    "Нет записи для отчёта: откройте запись кнопкой «Из файла».";

// Why no report is made of the night shown, when it is no recording at all: a page with a
// passport and a curve would pass for a patient's.
std::optional<std::string> reportRefusal(const std::optional<AnalysedNight>& night) {
    if (night && night->notARecording) {
        return "Отчёт не составлен: данные не похожи на запись датчика (" + *night->notARecording +
               ").";
    }
    return std::nullopt;
}
}  // namespace

void TTMForm::loadAnalysisSettings() {
    if (settings_ != nullptr) {
        if (auto stored = settings_->analysisParameters()) {
            state_.analysisParameters = *stored;
        }
        settingsProblems_ = settings_->readingProblems();
    }
    storedParameters_ = state_.analysisParameters;
    if (!settingsProblems_.unusableValues.empty()) {
        storedParameters_.reset();  // the file is mended at close, as the message says
    }
    showAnalysis();
}

void TTMForm::FormShow() {
    const SettingsProblems problems = std::exchange(settingsProblems_, {});
    if (problems.empty()) {
        return;
    }
    std::string text;
    if (problems.unreadable) {
        text = "Настройки не прочитаны из «" + problems.file + "»: " + *problems.unreadable +
               ". ФИО врача и параметры анализа — по умолчанию; файл оставлен как есть, и "
               "настройки в него не запишутся.";
    } else {
        text = "Не все параметры анализа из файла настроек «" + problems.file +
               "» можно использовать:";
        for (std::size_t i = 0; i < problems.unusableValues.size(); ++i) {
            text += "\n• " + problems.unusableValues[i] +
                    (i + 1 < problems.unusableValues.size() ? ";" : ".");
        }
        text += "\nПри закрытии программы принятые значения будут записаны в файл.";
    }
    warning("Файл настроек", text);
}

void TTMForm::saveAnalysisSettings() {
    // Written only when changed: a file that never had them stays as it was.
    if (settings_ == nullptr || storedParameters_ == state_.analysisParameters) {
        return;
    }
    try {
        settings_->saveAnalysisParameters(state_.analysisParameters);
        storedParameters_ = state_.analysisParameters;
    } catch (const std::exception& error) {
        view_.messageBox(
            "Сохранение настроек",
            std::string(error.what()) + " Параметры анализа при следующем запуске будут прежними.",
            MessageIcon::Warning, MessageButtons::Ok);
    }
}

void TTMForm::clearAnalysis() {
    if (state_.nightAnalysis) {
        state_.nightAnalysis.reset();
        showAnalysis();
    }
}

void TTMForm::analyseRecording(int startSeconds) {
    AnalysedNight night;
    const auto samples =
        state_.memoryImage.bytes().subspan(ImageOffsets::kSamples, ImageOffsets::kSampleCount);
    night.samples.assign(samples.begin(), samples.end());
    night.periodSeconds = state_.samplePeriod;
    night.startSeconds = startSeconds;
    night.passport = state_.memoryImage.hasPassport();
    night.notARecording = whyNotARecording(state_.memoryImage);
    night.demonstration = isDemonstration(state_.memoryImage);
    night.result = reviewNight(night.recording(), state_.analysisParameters, {});
    state_.nightAnalysis = std::move(night);
    showAnalysis();
}

void TTMForm::showAnalysis() {
    AnalysisDisplay display;
    display.parameters = state_.analysisParameters;
    if (const auto& night = state_.nightAnalysis) {
        display.recording = true;
        display.summaryLine = summaryLine(night->result);
        display.episodes = episodeSpans(night->result, night->startSeconds);
        display.unusable = unusableSpans(night->result, night->startSeconds);
        display.baseline = baselineLine(night->result, night->recording());
        display.analysis = night->result;
        display.demonstration = night->demonstration;
        display.reviewLines = reviewLines();
    }
    view_.showAnalysis(display);
}

void TTMForm::ShowAnalysisClick() {
    view_.openAnalysisDialog();
}

std::optional<std::string> TTMForm::setAnalysisParameters(const AnalysisParameters& parameters) {
    if (auto error = parametersError(parameters)) {
        return error;
    }
    if (parameters == state_.analysisParameters) {
        return std::nullopt;
    }
    state_.analysisParameters = parameters;
    reanalyse();
    return std::nullopt;
}

void TTMForm::SaveReportClick() {
    if (!state_.nightAnalysis) {
        info(kReportTitle, kNothingToReport);
        return;
    }
    if (const auto refusal = reportRefusal(state_.nightAnalysis)) {
        warning(kReportTitle, *refusal);
        return;
    }
    const auto path = view_.chooseReportFile(proposedPath(FileKind::Report));
    if (!path) {
        return;
    }
    rememberFolder(*path);
    if (fileKindOf(*path) != FileKind::Report) {
        // Never a recording (.txt) or a workbook replaced by a report by a slip of the hand.
        warning(kReportTitle,
                "Файл «" + *path + "» не сохранён: имя отчёта должно оканчиваться на .pdf.");
        return;
    }
    saveReport(*path);
}

bool TTMForm::saveReport(const std::string& path) {
    return guarded([&] {
        if (!state_.nightAnalysis) {
            throw std::runtime_error(kNothingToReport);
        }
        if (const auto refusal = reportRefusal(state_.nightAnalysis)) {
            throw std::runtime_error(*refusal);
        }
        view_.writeReport(path, nightReport());
        view_.beep();
    });
}

NightReport TTMForm::nightReport() const {
    NightReport report;
    report.nameHidden = state_.password.nameHidden;
    report.patientName = report.nameHidden ? "" : view_.text(Control::Name);
    report.age = view_.text(Control::Old);
    report.studyDate = view_.text(Control::Date);
    report.studyStart = view_.text(Control::TimeStart);
    report.studyEnd = view_.text(Control::TimeEnd);
    // Without a passport the field shows the clock, not when the recorder was programmed.
    const bool passport = state_.nightAnalysis && state_.nightAnalysis->passport;
    report.programmed = passport ? view_.text(Control::TimeNow) : "";
    report.period = view_.text(Control::Tscan);
    // The field's prompt is no doctor's name: the report then leaves a line to write it on.
    const std::string doctor = view_.text(Control::VName);
    report.doctor = doctor == kDefaultDoctorName ? "" : doctor;
    const LocalDateTime now = clock_.now();
    report.created = shortDateText(now) + " " + hourMinuteText(now);
    if (const auto& night = state_.nightAnalysis) {
        setRecordedCurve(report, night->recording());
        report.episodes = episodeSpans(night->result, night->startSeconds);
        report.unusable = unusableSpans(night->result, night->startSeconds);
        report.baseline = baselineLine(night->result, night->recording());
        report.analysis = night->result;
        report.reviewChanges = reviewLines();
    }
    return report;
}

}  // namespace npt
