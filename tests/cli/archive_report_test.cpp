// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// npt archive report: what the command line asks of the study report's writer, in process, and
// the built tool writing the report of a study of a made-up archive without a display.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <tuple>

#include "archive/archive.h"
#include "archive/night_maker.h"
#include "cli/npt_command.h"
#include "support/scratch.h"
#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace npt {
namespace {

using namespace npt::test;
using archive::Archive;

struct WriterCall {
    std::string path;
    archive::Id study = 0;
    std::optional<std::string> doctor;
};

TEST(ArchiveReportTest, WhatTheCommandLineAsksOfTheWriter) {
    const fs::path dir = scratchDir("cli");
    const std::string location = (dir / "archive.sqlite").string();
    Archive::open(location, Archive::Open::Create);
    const std::string pdf = (dir / "study.pdf").string();
    struct Case {
        std::vector<std::string> args;  // after "archive --archive LOCATION"
        int status;
        std::string said;  // on out for 0, on err else
        std::optional<WriterCall> call;
    };
    const Case cases[] = {
        {{"report", "7", pdf}, 0, "Отчёт об исследовании № 7 сохранён: " + pdf, {{pdf, 7, {}}}},
        {{"report", "7", pdf, "--doctor", "Сидоров С. С."},
         0,
         "сохранён",
         {{pdf, 7, "Сидоров С. С."}}},
        {{"report", "7", pdf, "--doctor=Иванова А. А."},
         0,
         "сохранён",
         {{pdf, 7, "Иванова А. А."}}},
        {{"report", "7", (dir / "study.txt").string()}, 2, "должно оканчиваться на .pdf", {}},
        {{"report", "семь", pdf}, 2, "— не номер исследования", {}},
        {{"report", "7"}, 2, "archive report: не хватает аргумента", {}},
        {{"report", "7", pdf, "--doctor"}, 2, "после --doctor нужно ФИО врача", {}},
        {{"report", "7", pdf, "--doctor", "Сидоров\nС. С."}, 2, "есть управляющие символы", {}},
        {{"show", "1", "--doctor", "Сидоров С. С."}, 2, "--doctor относится к команде report", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 2 ? c.args[2] : ""));
        std::optional<WriterCall> call;
        const StudyReportWriter writer = [&](const std::string& path, Archive&, archive::Id study,
                                             const std::optional<std::string>& doctor) {
            call = WriterCall{path, study, doctor};
        };
        std::vector<std::string> args = {"archive", "--archive", location};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::ostringstream out, err;
        EXPECT_EQ(runNpt(args, out, err, {}, false, writer), c.status) << err.str();
        EXPECT_NE((c.status == 0 ? out : err).str().find(c.said), std::string::npos)
            << out.str() << err.str();
        ASSERT_EQ(call.has_value(), c.call.has_value());
        if (call) {
            EXPECT_EQ(call->path, c.call->path);
            EXPECT_EQ(call->study, c.call->study);
            EXPECT_EQ(call->doctor, c.call->doctor);
        }
    }
}

// The report never replaces the archive it is made from, and a study the archive does not hold
// or a file that cannot be written is said in one line with 1.
TEST(ArchiveReportTest, RefusalsOfTheArchiveAndTheFile) {
    const fs::path dir = scratchDir("cli");
    const std::string location = (dir / "archive.pdf").string();
    Archive::open(location, Archive::Open::Create);
    bool called = false;
    const StudyReportWriter writer = [&](const std::string&, Archive&, archive::Id study,
                                         const std::optional<std::string>&) {
        called = true;
        throw archive::ArchiveError(archive::ArchiveError::Kind::Refused,
                                    "В архиве нет исследования № " + std::to_string(study) + ".");
    };
    std::ostringstream out, err;
    EXPECT_EQ(runNpt({"archive", "--archive", location, "report", "1", location}, out, err, {},
                     false, writer),
              2);
    EXPECT_NE(err.str().find("это сам файл архива"), std::string::npos) << err.str();
    EXPECT_FALSE(called);

    std::ostringstream out2, err2;
    EXPECT_EQ(runNpt({"archive", "--archive", location, "report", "99", (dir / "a.pdf").string()},
                     out2, err2, {}, false, writer),
              1);
    EXPECT_EQ(err2.str(), "npt: В архиве нет исследования № 99.\n");
    EXPECT_EQ(out2.str(), "");
}

TEST(ArchiveReportTest, WithoutTheGraphicalPartTheCommandIsNotThere) {
    const fs::path dir = scratchDir("cli");
    const std::string location = (dir / "archive.sqlite").string();
    Archive::open(location, Archive::Open::Create);
    std::ostringstream out, err;
    EXPECT_EQ(runNpt({"archive", "--archive", location, "report", "1", (dir / "a.pdf").string()},
                     out, err),
              2);
    EXPECT_NE(err.str().find("без графической части"), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(dir / "a.pdf"));
}

#ifndef _WIN32
// What a shell command line writes on its standard output, and its exit status (-1 when it did
// not exit normally).
std::pair<int, std::string> output(const std::string& command) {
    std::string text;
    int status = -1;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            text.append(buffer, n);
        }
        const int raw = ::pclose(pipe);
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    return {status, text};
}

struct ToolRun {
    int status = -1;  // -1 when the tool did not exit normally
    std::string out;
    std::string err;
};

// The built tool with args (quoted here), on a machine without a display.
ToolRun tool(const fs::path& dir, const std::vector<std::string>& args) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" +
                          std::string(NPT_TOOL_PATH) + "'";
    for (const std::string& a : args) {
        command += " '" + a + "'";
    }
    const fs::path errFile = dir / "stderr.txt";
    command += " 2>'" + errFile.string() + "'";
    ToolRun r;
    std::tie(r.status, r.out) = output(command);
    const auto err = readAll(errFile);
    r.err.assign(err.begin(), err.end());
    fs::remove(errFile);
    return r;
}

TEST(ArchiveReportTest, TheToolWritesAStudysReportWithoutADisplay) {
    const fs::path dir = scratchDir("cli");
    const std::string location = (dir / "archive.sqlite").string();
    archive::Id study = 0;
    {
        Archive a = Archive::open(location, Archive::Open::Create);
        std::optional<archive::Id> patient;
        for (int day = 8; day <= 10; ++day) {
            patient = a.add(archive::nightEntryOf(nightFile(NightSpec().on(day).variantOf(day)),
                                                  std::nullopt),
                            archive::NightSource::File, "night.txt", AnalysisParameters{})
                          .patientId;
        }
        ASSERT_TRUE(patient);
        study = a.patient(*patient)->studies.at(0).id;
    }
    const std::string id = std::to_string(study);
    const fs::path pdf = dir / "study.pdf";
    const ToolRun written = tool(dir, {"archive", "--archive", location, "report", id, pdf.string(),
                                       "--doctor", "Сидоров С. С."});
#ifdef NPT_TOOL_HAS_REPORT
    EXPECT_EQ(written.status, 0) << written.err;
    EXPECT_EQ(written.err, "") << "nothing is logged";
    EXPECT_EQ(written.out, "Отчёт об исследовании № " + id + " сохранён: " + pdf.string() + "\n");
    const auto bytes = readAll(pdf);
    const std::string file(bytes.begin(), bytes.end());
    EXPECT_EQ(file.rfind("%PDF-", 0), 0U);
    EXPECT_NE(file.find("%%EOF", file.size() - 8), std::string::npos);
    EXPECT_EQ(entriesOf(dir), (std::set<std::string>{"archive.sqlite", "study.pdf"}))
        << "no temporary file left";
    if (std::system("command -v pdftotext >/dev/null 2>&1") == 0) {
        const std::string read = output("pdftotext '" + pdf.string() + "' -").second;
        for (const char* expected : {"Иванов Иван Иванович", "08.12.26", "09.12.26", "10.12.26",
                                     "лучшая ночь", "Врач: Сидоров С. С."}) {
            EXPECT_NE(read.find(expected), std::string::npos) << expected << "\n" << read;
        }
    }

    const ToolRun missing = tool(dir, {"archive", "--archive", location, "report",
                                       std::to_string(study + 1), (dir / "none.pdf").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "npt: В архиве нет исследования № " + std::to_string(study + 1) + ".\n");
    EXPECT_FALSE(fs::exists(dir / "none.pdf"));
#else
    EXPECT_EQ(written.status, 2);
    EXPECT_NE(written.err.find("без графической части"), std::string::npos) << written.err;
    EXPECT_FALSE(fs::exists(pdf));
#endif
    const ToolRun misnamed =
        tool(dir, {"archive", "--archive", location, "report", id, (dir / "study.txt").string()});
    EXPECT_EQ(misnamed.status, 2);
    EXPECT_NE(misnamed.err.find("должно оканчиваться на .pdf"), std::string::npos) << misnamed.err;
}
#endif

}  // namespace
}  // namespace npt
