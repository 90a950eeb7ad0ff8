// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// How npt-desk starts: its command line, a recording given on it, and the picture of the window
// drawn on a machine without a screen (the built program run as a process).
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QProcess>

#include "npt_version.h"
#include "recorder/example_night.h"
#include "records/data_file.h"
#include "support/scratch.h"
#include "ui/command_line.h"
#include "ui/diameter_chart.h"
#include "ui/window_start.h"
#include "window_fixture.h"

namespace npt::testing {
namespace {

TEST(DeskCommandLine, FileScreenshotAndMistakes) {
    struct Case {
        std::vector<std::string> arguments;
        std::optional<std::string> file;
        std::optional<std::string> screenshot;
        const char* error;  // nullptr: accepted
        bool demo = false;
    };
    const Case cases[] = {
        {{}, {}, {}, nullptr},
        {{"night.txt"}, "night.txt", {}, nullptr},
        {{"--screenshot", "a.png", "night.txt"}, "night.txt", "a.png", nullptr},
        {{"night.txt", "--screenshot=a.png"}, "night.txt", "a.png", nullptr},
        {{"--", "-odd name.txt"}, "-odd name.txt", {}, nullptr},
        {{"--demo-recorder"}, {}, {}, nullptr, true},
        {{"--", "--demo-recorder"}, "--demo-recorder", {}, nullptr},
        {{"--screenshot"}, {}, {}, "после --screenshot нужно имя файла снимка (.png)"},
        {{"--screenshot="}, {}, {}, "после --screenshot нужно имя файла снимка (.png)"},
        {{"--fullscreen"}, {}, {}, "неизвестный параметр «--fullscreen»"},
        {{"a.txt", "b.txt"}, {}, {}, "лишний аргумент «b.txt»: окно открывает одну запись"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = parseDeskArguments(c.arguments, error);
        SCOPED_TRACE(c.arguments.empty() ? "(none)" : c.arguments.front());
        if (c.error != nullptr) {
            EXPECT_FALSE(options);
            EXPECT_EQ(error, c.error);
            continue;
        }
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(options->file, c.file);
        EXPECT_EQ(options->screenshot, c.screenshot);
        EXPECT_EQ(options->demoRecorder, c.demo);
        EXPECT_EQ(asksFor(c.arguments, kScreenshotOption), c.screenshot.has_value());
    }
}

// What is left for our own check before the toolkit starts: its options go, with their values.
TEST(DeskCommandLine, ToolkitOptionsAreLeftToTheToolkit) {
    using Args = std::vector<std::string>;
    struct Case {
        Args arguments;
        Args ours;
    };
    const Case cases[] = {
        {{"-platform", "offscreen", "--bogus"}, {"--bogus"}},
        {{"--platform", "xcb", "-style=Fusion", "night.txt"}, {"night.txt"}},
        {{"-style", "Fusion", "-reverse", "--screenshot", "a.png"}, {"--screenshot", "a.png"}},
        {{"-display", ":1", "-qmljsdebugger=port:1234", "--demo-recorder"}, {"--demo-recorder"}},
        {{"--", "-platform", "x"}, {"--", "-platform", "x"}},
        {{"-plugin style", "-"}, {"-plugin style", "-"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        EXPECT_EQ(withoutToolkitOptions(c.arguments), c.ours);
    }
}

// The message the window shows when path is loaded; empty when none.
template <class Load>
QString messageOnLoad(Load load) {
    QString shown;
    whenModal<QMessageBox>([&shown](QMessageBox* box) {
        shown = box->text();
        box->accept();
    });
    load();
    return shown;
}

TEST_F(WindowTest, ARecordingGivenOnTheCommandLineOpensOnceTheWindowIsShown) {
    view_->window()->show();
    openRecordingWhenShown(*form_, *view_, NPT_EXAMPLES_DIR "/night.txt");
    EXPECT_EQ(view_->text(Control::Name), "") << "loaded before the window is on screen";
    QApplication::processEvents();
    EXPECT_EQ(view_->text(Control::Name), "Петров Пётр Петрович");
    EXPECT_EQ(view_->chart()->series(1).count, 4320u);
}

TEST_F(WindowTest, ARecordingThatCannotBeLoadedIsReportedAsByTheOpenButton) {
    QDir().mkpath(NPT_TEST_OUTPUT_DIR);
    const QString cut = QStringLiteral(NPT_TEST_OUTPUT_DIR "/cut-recording.txt");
    {
        QFile file(cut);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100, '\0'));
    }
    const QString byButton = messageOnLoad([&] { loadThroughDialog(cut); });
    const QString atStart = messageOnLoad([&] {
        openRecordingWhenShown(*form_, *view_, cut.toStdString());
        QApplication::processEvents();
    });
    EXPECT_FALSE(byButton.isEmpty());
    EXPECT_EQ(atStart, byButton);
}

struct DeskRun {
    int status;
    QString output;
    QString errors;
};

// The built npt-desk as on a machine without any screen.
DeskRun runDesk(const QStringList& arguments) {
    QProcess desk;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* screen : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(screen);
    }
    desk.setProcessEnvironment(environment);
    desk.start(NPT_DESK_PATH, arguments);
    EXPECT_TRUE(desk.waitForFinished(60000)) << "npt-desk did not end";
    return {desk.exitStatus() == QProcess::NormalExit ? desk.exitCode() : -1,
            QString::fromUtf8(desk.readAllStandardOutput()),
            QString::fromUtf8(desk.readAllStandardError())};
}

TEST(DeskWithoutScreen, DrawsTheWindowIntoAPictureAndEnds) {
    ensureApplication();
    const QString picture = QStringLiteral(NPT_TEST_OUTPUT_DIR "/desk-picture.png");
    struct Case {
        const char* file;
        int status;
        const char* said;  // in what is written to the terminal; nullptr: nothing at all
    };
    const Case cases[] = {
        {NPT_EXAMPLES_DIR "/night.txt", 0, nullptr},
        // Nobody types the password: the name stays hidden, and the warning is written out.
        {NPT_EXAMPLES_DIR "/night-password.txt", 0,
         "Ошибка пароля!: Неверный пароль! ФИО пациента будет скрыто!"},
        // The window is drawn empty, with the reason the open button would show.
        {NPT_TEST_OUTPUT_DIR "/no-such-recording.txt", 1, "no-such-recording.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        QFile::remove(picture);
        const DeskRun run = runDesk({"--screenshot", picture, QString::fromUtf8(c.file)});
        EXPECT_EQ(run.status, c.status);
        if (c.said == nullptr) {
            EXPECT_TRUE(run.errors.isEmpty()) << run.errors.toStdString();
        } else {
            EXPECT_TRUE(run.errors.contains(QString::fromUtf8(c.said))) << run.errors.toStdString();
        }
        EXPECT_EQ(QImage(picture).size(), QSize(998, 529));
    }
}

TEST_F(WindowTest, ADemonstrationSaysSoInTheTitlesWithoutMovingAControl) {
    const QRect readButton = w(Control::ReadData)->geometry();
    markAsDemonstration(*view_);
    EXPECT_TRUE(view_->window()->windowTitle().startsWith(QString::fromUtf8(kWindowCaption)));
    EXPECT_TRUE(view_->window()->windowTitle().contains(QString::fromUtf8("ДЕМОНСТРАЦИЯ")));
    EXPECT_EQ(w(Control::ReadData)->geometry(), readButton);
}

TEST_F(WindowTest, TheChartsTitleSaysWhenTheNightShownIsTheDemonstrations) {
    // The title goes on paper: a printout of the demonstration night says what it is, in any
    // window; one of a patient's never does, even in a window started for a demonstration.
    const auto file = test::scratchDir("ui") / "demo.txt";
    test::writeAll(file, dataFileBytes(demonstrationNight()));
    const auto title = [&] { return view_->chart()->title(); };
    const QString marked = QString::fromUtf8(kChartTitle) + " (демонстрация, имитатор датчика)";
    ASSERT_TRUE(form_->loadRecording(file.string()));
    EXPECT_EQ(title(), marked);
    EXPECT_EQ(view_->text(Control::Name), kDemonstrationName);
    markAsDemonstration(*view_);
    ASSERT_TRUE(form_->loadRecording(NPT_EXAMPLES_DIR "/night.txt"));
    EXPECT_EQ(title(), QString::fromUtf8(kChartTitle));
}

TEST(DeskWithoutScreen, DemoRecorderIsReadIntoThePicture) {
    ensureApplication();
    const QString picture = QStringLiteral(NPT_TEST_OUTPUT_DIR "/desk-demo-read.png");
    QFile::remove(picture);
    const DeskRun run = runDesk({"--demo-recorder", "--screenshot", picture});
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    EXPECT_TRUE(run.errors.isEmpty()) << run.errors.toStdString();
    const QImage image(picture);
    ASSERT_EQ(image.size(), QSize(998, 529));
    // The indicator, green, 139 pixels above the read button: all 140 blocks arrived.
    EXPECT_EQ(image.pixelColor(987, 349 + 12), QColor(0, 255, 0));
    EXPECT_NE(image.pixelColor(987, 488 + 12), QColor(0, 255, 0));
}

TEST(DeskWithoutScreen, HelpVersionAndWrongUsage) {
    ensureApplication();
    const QString usage = QString::fromUtf8("Использование: npt-desk [--demo-recorder] [ФАЙЛ]");
    const DeskRun help = runDesk({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.output.contains(usage));
    // The version the package and npt carry: project(VERSION) through npt_version.h.
    const DeskRun version = runDesk({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output,
              QString("npt-desk %1\n").arg(kVersion) + QString::fromUtf8(kLicenseNotice));
    // A wrong option is said without a screen too, beside Qt's own options or not.
    for (const QStringList& arguments :
         {QStringList{"--fullscreen"}, QStringList{"-platform", "xcb", "--fullscreen"}}) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const DeskRun wrong = runDesk(arguments);
        EXPECT_EQ(wrong.status, 2);
        EXPECT_TRUE(wrong.errors.contains(QString::fromUtf8("неизвестный параметр «--fullscreen»")))
            << wrong.errors.toStdString();
        EXPECT_TRUE(wrong.errors.contains(usage));
    }
    // Qt's options still reach Qt, which takes them out before ours are read again.
    const QString picture = QStringLiteral(NPT_TEST_OUTPUT_DIR "/desk-options.png");
    const DeskRun styled = runDesk(
        {"-platform", "offscreen", "-style", "Fusion", "-reverse", "--screenshot", picture});
    EXPECT_EQ(styled.status, 0) << styled.errors.toStdString();
    EXPECT_EQ(QImage(picture).size(), QSize(998, 529));
}

}  // namespace
}  // namespace npt::testing
