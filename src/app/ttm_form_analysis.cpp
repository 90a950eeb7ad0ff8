// The night's analysis in the window: analysed after every drawing of a recording, shown as a
// line under the chart, as bands on it and in the dialog "Анализ ночи"; its parameters kept in
// the settings file; the one-page report.
#include <stdexcept>

#include "analysis/analysis_text.h"
#include "app/ttm_form.h"
#include "measure/time_of_day.h"
#include "records/file_name.h"

namespace npt {

namespace {
constexpr const char* kReportTitle = "Отчёт";
constexpr const char* kNothingToReport =
    "Нет записи для отчёта: откройте запись кнопкой «Из файла».";
}  // namespace

void TTMForm::loadAnalysisSettings() {
    if (settings_ != nullptr) {
        if (auto stored = settings_->analysisParameters()) {
            state_.analysisParameters = *stored;
        }
    }
    storedParameters_ = state_.analysisParameters;
    showAnalysis();
}

void TTMForm::saveAnalysisSettings() {
    // Written only when changed: a file that never had them stays as it was.
    if (settings_ == nullptr || state_.analysisParameters == storedParameters_) {
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
    night.result = analyseNight(night.recording(), state_.analysisParameters);
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
        display.analysis = night->result;
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
    if (auto& night = state_.nightAnalysis) {
        night->result = analyseNight(night->recording(), parameters);
    }
    showAnalysis();
    return std::nullopt;
}

void TTMForm::SaveReportClick() {
    if (!state_.nightAnalysis) {
        info(kReportTitle, kNothingToReport);
        return;
    }
    const auto path = view_.chooseReportFile(proposedPath(".pdf"));
    if (!path) {
        return;
    }
    rememberFolder(*path);
    if (lowerCaseExtension(*path) != ".pdf") {
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
        report.analysis = night->result;
    }
    return report;
}

}  // namespace npt
