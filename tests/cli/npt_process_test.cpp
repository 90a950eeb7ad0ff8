// SPDX-FileCopyrightText: 2026 the npt-desk authors
// SPDX-License-Identifier: GPL-3.0-or-later
// The built npt tool run as a separate process, as a script or another program would use it.
#ifndef _WIN32
// Linux only for now: the tool is run as a child with fork and exec.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <algorithm>
#include <cmath>

#include <csignal>

#include <cstdio>
#include <fstream>
#include <random>
#include <set>

#include "form_fixture.h"
#include "records/spreadsheet.h"
#include "support/child_process.h"
#include "support/ramped_rise.h"
#include "support/sheet_cells.h"

namespace npt {
namespace {

using namespace npt::test;

struct Process {
    int status;  // exit status, or -1 when it did not exit normally
    std::string out;
};

// Runs a shell command line and collects its standard output.
Process run(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {-1, ""};
    }
    std::string out;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    const int raw = ::pclose(pipe);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, out};
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

const std::string kTool = NPT_TOOL_PATH;
const std::string kNight = std::string(NPT_EXAMPLES_DIR) + "/night.txt";

TEST(NptProcessTest, JsonOutputIsOneValidDocument) {
    if (!fs::exists("/usr/bin/python3")) {
        GTEST_SKIP() << "no /usr/bin/python3 to check the document with";
    }
    const fs::path dir = scratchDir("cli");
    const fs::path json = dir / "night.json";
    const Process show =
        run(quoted(kTool) + " show " + quoted(kNight) + " --json > " + quoted(json.string()));
    ASSERT_EQ(show.status, 0);
    const std::string check =
        "import json,sys; d=json.load(sys.stdin); "
        "assert set(d) == {'fields','messages','points','diameters','analysis'}, d.keys(); "
        "assert list(d['fields']) == "
        "['Name','Old','Tscan','Date','TimeStart','TimeEnd','TimeNow','Ubat']; "
        "assert d['messages'] == []; "
        "assert len(d['points']) == 4320 and all(len(p) == 2 for p in d['points']); "
        "assert len(d['diameters']) == 4320; "
        "assert all(abs(p[1] - q) < 0.051 for p, q in zip(d['points'], d['diameters'])); "
        "print('ok')";
    const Process valid =
        run("/usr/bin/python3 -c \"" + check + "\" < " + quoted(json.string()) + " 2>&1");
    EXPECT_EQ(valid.status, 0) << valid.out;
    EXPECT_EQ(valid.out, "ok\n");
}

// Checks the "analysis" object of an npt show --json document: its keys in order, their types,
// that its figures agree with each other, and the episodes expected (start_s, end_s, and
// baseline, peak and increase where given; none given: only their number), and the stretches
// left out expected ("unusable", none when not given).
constexpr const char* kAnalysisSchema = R"(import json, sys
d = json.load(open(sys.argv[1], encoding="utf-8"))
expected = json.loads(sys.argv[2])
assert list(d) == ["fields", "messages", "points", "diameters", "analysis"], list(d)
a = d["analysis"]
assert list(a) == ["parameters", "episodes", "summary", "quality"], list(a)
assert list(a["parameters"]) == ["threshold_mm", "min_duration_s", "merge_gap_s",
                                 "full_threshold_mm"]
assert list(a["summary"]) == ["valid_s", "analysed_s", "episodes", "total_s", "longest_s",
                              "mean_s", "max_increase_mm", "area_mm_min", "largest_rise_mm",
                              "per_hour"]
assert list(a["quality"]) == ["erased", "at_range_ends", "flat_s", "verdict", "recording",
                              "unusable"]
assert a["quality"]["recording"] is True, a["quality"]
ints = ("start_s", "end_s", "duration_s", "full_s", "valid_s", "episodes", "total_s",
        "longest_s", "min_duration_s", "merge_gap_s", "erased", "at_range_ends", "flat_s",
        "analysed_s")
texts = ("start", "end", "verdict", "reason", "text")
unusable = a["quality"]["unusable"]
# The figures of episodes belong to a night with episodes, the largest rise to one without: the
# other ones are null, as the text leaves them out.
episodic = ("longest_s", "mean_s", "max_increase_mm", "area_mm_min")
with_episodes = a["summary"]["episodes"] > 0
for k in episodic + ("largest_rise_mm",):
    assert (a["summary"][k] is None) == (with_episodes == (k == "largest_rise_mm")), a["summary"]
for group in [a["parameters"], a["summary"], a["quality"]] + a["episodes"] + unusable:
    for k, v in group.items():
        if k in ("recording", "unusable") or (group is a["summary"] and v is None):
            continue
        kind = int if k in ints else str if k in texts else (int, float)
        assert isinstance(v, kind) and not isinstance(v, bool), (k, v)
start = sum(int(x) * m for x, m in zip(d["fields"]["TimeStart"].split(":"), (3600, 60)))
for e in a["episodes"]:
    assert list(e) == ["start_s", "end_s", "start", "end", "duration_s", "baseline_mm",
                       "peak_mm", "increase_mm", "increase_percent", "full_s", "area_mm_min"]
    assert e["end_s"] - e["start_s"] == e["duration_s"] > 0, e
    for key in ("start", "end"):
        t = (start + e[key + "_s"]) % 86400
        assert e[key] == "%02d:%02d:%02d" % (t // 3600, t // 60 % 60, t % 60), e
    assert abs(e["peak_mm"] - e["baseline_mm"] - e["increase_mm"]) < 0.051, e
    assert 0 <= e["full_s"] <= e["duration_s"], e
s = a["summary"]
durations = [e["duration_s"] for e in a["episodes"]]
assert s["episodes"] == len(durations) and s["total_s"] == sum(durations)
assert s["longest_s"] == max(durations, default=None)
assert abs(s["area_mm_min"] - sum(e["area_mm_min"] for e in a["episodes"])) < 0.051
assert s["valid_s"] == expected["valid_s"], s
assert s["episodes"] == expected["episodes"], s
# Stretches in time order, inside the night, none overlapping an episode; the time analysed is
# at most what they leave, and the rate is per hour of it.
for u in unusable:
    assert list(u) == ["start_s", "end_s", "reason", "text"], u
    assert 0 <= u["start_s"] < u["end_s"] <= s["valid_s"], u
    assert all(e["end_s"] <= u["start_s"] or u["end_s"] <= e["start_s"] for e in a["episodes"]), u
assert all(p["end_s"] <= q["start_s"] for p, q in zip(unusable, unusable[1:])), unusable
left = s["valid_s"] - sum(u["end_s"] - u["start_s"] for u in unusable)
assert 0 < s["analysed_s"] <= left, (s, left)
assert abs(s["per_hour"] - round(s["episodes"] * 3600 / s["analysed_s"], 2)) < 0.006, s
assert unusable == expected.get("unusable", []), unusable
for e, want in zip(a["episodes"], expected.get("each", [])):
    for k, v in want.items():
        assert abs(e[k] - v) < 1e-9, (k, e[k], v)
assert (a["quality"]["verdict"] == "данные пригодны для анализа") == (not unusable), a["quality"]
print("ok")
)";

TEST(NptProcessTest, AnalysisInTheJsonOfTheExampleAndOfASyntheticNight) {
    if (!fs::exists("/usr/bin/python3")) {
        GTEST_SKIP() << "no /usr/bin/python3 to check the document with";
    }
    const fs::path dir = scratchDir("cli");
    {
        std::ofstream script(dir / "schema.py");
        script << kAnalysisSchema;
    }
    // Resting bytes 82, 83, 84, 83 (26,0-26,4 mm, median 26,2 mm), two rises of exactly 8 mm,
    // 3 mm or more above rest over samples 600-779 and 1500-1859: each climbs to its top over
    // twelve samples, passing 3 mm seven samples before it, as tumescence does over minutes;
    // the recorder stopped after 3000 samples (8 h 20 min).
    MemoryImage synthetic = makeImage();
    for (std::size_t i = 0; i < ImageOffsets::kSampleCount; ++i) {
        const long risen = std::max(test::rampedRise(i, 600, 780), test::rampedRise(i, 1500, 1860));
        synthetic[ImageOffsets::kSamples + i] =
            i >= 3000 ? kErasedByte
                      : static_cast<std::uint8_t>(82 + (i % 4 == 2 ? 2 : i % 2) + risen);
    }
    // The same night with an hour the recorder skipped, from 02:40 (samples 2400-2759).
    MemoryImage skipped = synthetic;
    for (std::size_t i = 2400; i < 2760; ++i) {
        skipped[ImageOffsets::kSamples + i] = kErasedByte;
    }
    struct Case {
        std::string file;
        std::string expected;  // JSON
    };
    const Case cases[] = {
        {kNight, R"({"valid_s": 43200, "episodes": 5})"},
        {writeImage(dir / "synthetic.txt", synthetic).string(),
         R"({"valid_s": 30000, "episodes": 2, "each": [
             {"start_s": 6000, "end_s": 7800, "baseline_mm": 26.2, "peak_mm": 34.2,
              "increase_mm": 8.0},
             {"start_s": 15000, "end_s": 18600, "baseline_mm": 26.2, "peak_mm": 34.2,
              "increase_mm": 8.0}]})"},
        {writeImage(dir / "skipped.txt", skipped).string(),
         R"({"valid_s": 30000, "episodes": 2, "each": [
             {"start_s": 6000, "end_s": 7800, "increase_mm": 8.0},
             {"start_s": 15000, "end_s": 18600, "increase_mm": 8.0}],
             "unusable": [{"start_s": 24000, "end_s": 27600, "reason": "erased",
                           "text": "пропуск записи"}]})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const fs::path json = dir / "night.json";
        ASSERT_EQ(
            run(quoted(kTool) + " show " + quoted(c.file) + " --json > " + quoted(json.string()))
                .status,
            0);
        const Process valid = run("/usr/bin/python3 " + quoted((dir / "schema.py").string()) + " " +
                                  quoted(json.string()) + " " + quoted(c.expected) + " 2>&1");
        EXPECT_EQ(valid.status, 0) << valid.out;
        EXPECT_EQ(valid.out, "ok\n");
    }
}

// The night's figures are the same in all four places a doctor or a program reads them: the
// summary npt show prints, its JSON (null for a figure the night does not have), the sheet
// "Анализ" of the workbook and the report. A night without episodes has no longest or mean
// episode, no largest increase and no area, but the largest rise it reached; a night that could
// not be analysed has only its recorded time.
TEST(NptProcessTest, EveryOutputShowsTheFiguresTheNightHas) {
#ifndef NPT_TOOL_HAS_REPORT
    GTEST_SKIP() << "the tool is built without the report";
#else
    if (!openpyxlAvailable() || std::system("command -v pdftotext >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "python3-openpyxl and poppler-utils (pdftotext) are needed to read back";
    }
    const fs::path dir = scratchDir("cli");
    // Resting bytes 82, 83, 84, 83 for 3000 samples: a quiet night without a rise; the same
    // samples all 82: a sensor that never moved.
    MemoryImage quiet = makeImage();
    MemoryImage still = makeImage();
    for (std::size_t i = 0; i < ImageOffsets::kSampleCount; ++i) {
        quiet[ImageOffsets::kSamples + i] =
            i >= 3000 ? kErasedByte : static_cast<std::uint8_t>(82 + (i % 4 == 2 ? 2 : i % 2));
        still[ImageOffsets::kSamples + i] = i >= 3000 ? kErasedByte : 82;
    }
    struct Figure {
        const char* label;  // in the text and the report
        const char* sheet;  // in column A of the sheet
        const char* key;    // in the JSON summary
    };
    const Figure figures[] = {
        {"Записано", "Записано", "valid_s"},
        {"Проанализировано", "Проанализировано", "analysed_s"},
        {"Всего в эпизодах", "Всего в эпизодах", "total_s"},
        {"Самый длинный", "Самый длинный", "longest_s"},
        {"Средний эпизод", "Средний эпизод", "mean_s"},
        {"Макс. прирост", "Макс. прирост, мм", "max_increase_mm"},
        {"Площадь эпизодов", "Площадь эпизодов, мм·мин", "area_mm_min"},
        {"Наибольший прирост", "Наибольший прирост, мм", "largest_rise_mm"},
        {"Эпизодов в час анализа", "Эпизодов в час анализа", "per_hour"},
    };
    struct Case {
        const char* what;
        std::string file;
        std::set<std::string> shown;  // labels of the figures the night has
    };
    const Case cases[] = {
        {"a night with episodes",
         kNight,
         {"Записано", "Проанализировано", "Всего в эпизодах", "Самый длинный", "Средний эпизод",
          "Макс. прирост", "Площадь эпизодов", "Эпизодов в час анализа"}},
        {"a night without episodes",
         writeImage(dir / "quiet.txt", quiet).string(),
         {"Записано", "Проанализировано", "Всего в эпизодах", "Наибольший прирост",
          "Эпизодов в час анализа"}},
        {"a sensor that never moved", writeImage(dir / "still.txt", still).string(), {"Записано"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path json = dir / "night.json";
        const fs::path book = dir / "night.xlsx";
        const fs::path pdf = dir / "night.pdf";
        const Process text = run(quoted(kTool) + " show " + quoted(c.file));
        ASSERT_EQ(text.status, 0);
        ASSERT_EQ(
            run(quoted(kTool) + " show " + quoted(c.file) + " --json > " + quoted(json.string()))
                .status,
            0);
        ASSERT_EQ(
            run(quoted(kTool) + " export " + quoted(c.file) + " " + quoted(book.string())).status,
            0);
        ASSERT_EQ(
            run(quoted(kTool) + " report " + quoted(c.file) + " " + quoted(pdf.string())).status,
            0);
        // The keys of the summary with a value, one a line.
        const Process valued = run(
            "/usr/bin/python3 -c \"import json,sys; s=json.load(sys.stdin)['analysis']['summary']; "
            "print(*[k for k, v in s.items() if v is not None], sep=chr(10))\" < " +
            quoted(json.string()));
        ASSERT_EQ(valued.status, 0);
        const Process report = run("pdftotext -layout " + quoted(pdf.string()) + " -");
        std::set<std::string> sheetLabels;
        for (const auto& [ref, cell] : sheetCells(book, kAnalysisSheetName)) {
            if (ref.rfind('A', 0) == 0 && !cell.empty()) {
                sheetLabels.insert(cell.front());
            }
        }
        for (const Figure& f : figures) {
            SCOPED_TRACE(f.label);
            const bool expected = c.shown.contains(f.label);
            EXPECT_EQ(text.out.find(std::string(f.label) + ":") != std::string::npos, expected)
                << "text";
            EXPECT_EQ(valued.out.find(std::string(f.key) + "\n") != std::string::npos, expected)
                << "JSON";
            EXPECT_EQ(sheetLabels.contains(f.sheet), expected) << "sheet";
            EXPECT_EQ(report.out.find(std::string(f.label) + ":") != std::string::npos, expected)
                << "report";
        }
    }
#endif
}

// npt report on a machine without a display: the tool draws on Qt's offscreen platform whatever
// the environment asks for. A tree built without the graphical part says the command is missing.
TEST(NptProcessTest, ReportWithoutADisplay) {
    const fs::path dir = scratchDir("cli");
    const fs::path pdf = dir / "night.pdf";
    const Process p = run("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " + quoted(kTool) +
                          " report " + quoted(kNight) + " " + quoted(pdf.string()) + " 2>&1");
#ifdef NPT_TOOL_HAS_REPORT
    EXPECT_EQ(p.status, 0) << p.out;
    EXPECT_EQ(p.out, "") << "nothing is logged";
    const auto bytes = readAll(pdf);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("%PDF-", 0), 0u);
    EXPECT_NE(text.find("%%EOF", text.size() - 8), std::string::npos);
    EXPECT_EQ(entriesOf(dir), std::set<std::string>{"night.pdf"}) << "no temporary file left";
#else
    EXPECT_EQ(p.status, 2);
    EXPECT_NE(p.out.find("без графической части"), std::string::npos) << p.out;
    EXPECT_FALSE(fs::exists(pdf));
#endif
}

TEST(NptProcessTest, NamesThatNeedEscapingStayValidJson) {
    if (!fs::exists("/usr/bin/python3")) {
        GTEST_SKIP() << "no /usr/bin/python3 to check the document with";
    }
    const fs::path dir = scratchDir("cli");
    const std::string name = "Ann \"Q\" \\ \t\x01\x1f\x7f Ёё";
    const fs::path file = writeImage(
        dir / "odd.txt", makeImage(ImageOptions().withName(name).withSamples(kErasedByte)));
    const fs::path json = dir / "odd.json";
    ASSERT_EQ(
        run(quoted(kTool) + " show " + quoted(file.string()) + " --json > " + quoted(json.string()))
            .status,
        0);
    const Process shown =
        run("/usr/bin/python3 -c \"import json,sys; "
            "sys.stdout.buffer.write(json.load(sys.stdin)['fields']['Name'].encode())\" < " +
            quoted(json.string()) + " 2>&1");
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_EQ(shown.out, name);
}

TEST(NptProcessTest, RandomFilesGiveValidJson) {
    if (!fs::exists("/usr/bin/python3")) {
        GTEST_SKIP() << "no /usr/bin/python3 to check the documents with";
    }
    const fs::path dir = scratchDir("cli");
    std::mt19937 random(4481);
    std::string files;
    for (int i = 0; i < 10; ++i) {
        std::vector<std::uint8_t> bytes(kDataFileSize);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        const fs::path file = dir / ("random" + std::to_string(i) + ".txt");
        writeAll(file, bytes);
        const fs::path json = dir / ("random" + std::to_string(i) + ".json");
        ASSERT_EQ(run(quoted(kTool) + " show " + quoted(file.string()) + " --json > " +
                      quoted(json.string()))
                      .status,
                  0);
        files += " " + quoted(json.string());
    }
    // Strict UTF-8 and strict JSON: every document parses and has all its parts.
    const Process valid =
        run("/usr/bin/python3 -c \"import json,sys\n"
            "for f in sys.argv[1:]:\n"
            "    d = json.loads(open(f, 'rb').read().decode('utf-8'))\n"
            "    assert len(d['points']) == 4320 and len(d['diameters']) == 4320, f\n"
            "    assert len(d['fields']) == 8, f\n"
            "print('ok')\"" +
            files + " 2>&1");
    EXPECT_EQ(valid.status, 0) << valid.out;
    EXPECT_EQ(valid.out, "ok\n");
}

TEST(NptProcessTest, ExitStatusesAndOneErrorLine) {
    const fs::path dir = scratchDir("cli");
    const std::string missing = (dir / "missing.txt").string();
    const Process bad = run(quoted(kTool) + " show " + quoted(missing) + " 2>&1");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(std::count(bad.out.begin(), bad.out.end(), '\n'), 1) << bad.out;
    EXPECT_NE(bad.out.find(missing), std::string::npos) << bad.out;

    EXPECT_EQ(run(quoted(kTool) + " 2>/dev/null").status, 2);
    EXPECT_EQ(run(quoted(kTool) + " show " + quoted(kNight) + " >/dev/null").status, 0);
}

// Restores the default action of SIGXFSZ (killing the process) for the processes started while
// the object lives: the test process itself may be ignoring it by now.
class DefaultFileSizeSignal {
  public:
    DefaultFileSizeSignal() : old_(std::signal(SIGXFSZ, SIG_DFL)) {}
    ~DefaultFileSizeSignal() { std::signal(SIGXFSZ, old_); }
    DefaultFileSizeSignal(const DefaultFileSizeSignal&) = delete;
    DefaultFileSizeSignal& operator=(const DefaultFileSizeSignal&) = delete;

  private:
    void (*old_)(int);
};

// The tool's result on standard output is written whole or the tool says it was not.
TEST(NptProcessTest, OutputThatCannotBeWrittenExitsWithOne) {
    const std::string show = quoted(kTool) + " show " + quoted(kNight);
    const std::string limited = quoted((scratchDir("cli") / "limited.json").string());
    const DefaultFileSizeSignal defaultAction;
    struct Case {
        std::string command;  // a bash command line; prints the tool's exit status last
        const char* reason;
    };
    const Case cases[] = {
        {show + " 2>&1 >/dev/full; echo $?", "нет места на диске"},
        {show + " --json 2>&1 >/dev/full; echo $?", "нет места на диске"},
        {quoted(kTool) + " --help 2>&1 >/dev/full; echo $?", "нет места на диске"},
        // A reader that goes away early: the rest of the JSON cannot be written.
        {"{ " + show + " --json 2>&3 | head -c 10 >/dev/null; } 3>&1; echo ${PIPESTATUS[0]}",
         "получатель вывода закрыл канал"},
        {show + " 2>&1 >&-; echo $?", "файл не открыт для записи"},
        // Redirected into a file that reaches the file-size limit halfway through the JSON.
        {"ulimit -f 8; " + show + " --json 2>&1 >" + limited + "; echo $?",
         "превышен допустимый размер файла"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const Process p = run("bash -c " + quoted(c.command));
        EXPECT_EQ(p.out, std::string("npt: не удалось вывести результат: ") + c.reason + "\n1\n");
    }
}

TEST(NptProcessTest, WhatIsNotARegularFileIsRefusedAtOnce) {
    const fs::path dir = scratchDir("cli");
    ASSERT_EQ(::mkfifo((dir / "fifo.txt").c_str(), 0600), 0);
    struct Case {
        std::string path;
        const char* reason;
    };
    for (const Case& c : {Case{(dir / "fifo.txt").string(), "это канал, а не файл"},
                          Case{"/dev/zero", "это устройство, а не файл"}}) {
        SCOPED_TRACE(c.path);
        // A tool that waited for a writer would be stopped after a minute: status 124.
        const Process p = run("timeout 60 " + quoted(kTool) + " show " + quoted(c.path) + " 2>&1");
        EXPECT_EQ(p.status, 1);
        EXPECT_EQ(p.out, "npt: Не удалось загрузить файл «" + c.path + "»: " + c.reason + ".\n");
    }
}

// A file-size limit below the table's or the report's size: without handling, SIGXFSZ would
// kill the tool midway and leave its temporary file behind.
TEST(NptProcessTest, FileSizeLimitGivesOneMessageAndLeavesNothingBehind) {
    const fs::path dir = scratchDir("cli");
    const DefaultFileSizeSignal defaultAction;
    struct Case {
        const char* command;
        const char* name;
        const char* what;
    };
    std::vector<Case> cases = {{"export", "night.xlsx", "таблицу"},
                               {"export", "night.csv", "таблицу"}};
#ifdef NPT_TOOL_HAS_REPORT
    cases.push_back({"report", "night.pdf", "отчёт"});
#endif
    std::set<std::string> names;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path target = dir / c.name;
        names.insert(c.name);
        writeAll(target, {'o', 'l', 'd'});
        const Process p = run("bash -c " +
                              quoted("ulimit -f 8; exec " + quoted(kTool) + " " + c.command + " " +
                                     quoted(kNight) + " " + quoted(target.string())) +
                              " 2>&1");
        EXPECT_EQ(p.status, 1);
        EXPECT_EQ(p.out, std::string("npt: Не удалось сохранить ") + c.what + " «" +
                             target.string() + "»: превышен допустимый размер файла.\n");
        EXPECT_EQ(readAll(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    }
    EXPECT_EQ(entriesOf(dir), names);
}

// A disk that fills up while the workbook is written: one Russian line on the terminal, none
// of the spreadsheet library's own, and the earlier workbook as it was.
TEST(NptProcessTest, FullDiskGivesOneMessageAndKeepsTheEarlierWorkbook) {
    const fs::path dir = scratchDir("cli");
    const fs::path disk = dir / "disk";
    for (const unsigned long freeBlocks : {0ul, 8ul, 170ul}) {
        SCOPED_TRACE(std::to_string(freeBlocks) + " blocks free");
        fs::create_directories(disk);
        const ChildResult child = runInChild([&]() -> std::string {
            const std::string why = mountPrivateTmpfs(disk.string(), 8 << 20);
            if (!why.empty()) {
                return "skip: " + why;
            }
            writeAll(disk / "night.xlsx", {'o', 'l', 'd'});
            if (!fillUpTo(disk.string(), freeBlocks)) {
                return "cannot fill the disk";
            }
            const std::string command = quoted(kTool) + " export " + quoted(kNight) + " " +
                                        quoted((disk / "night.xlsx").string()) + " 2>&1";
            const Process p = run(command);
            const auto earlier = readAll(disk / "night.xlsx");
            std::string entries;
            for (const auto& e : entriesOf(disk)) {
                entries += e + " ";
            }
            return std::to_string(p.status) + "\n" + std::string(earlier.begin(), earlier.end()) +
                   "\n" + entries + "\n" + p.out;
        });
        if (child.report.starts_with("skip: ")) {
            GTEST_SKIP() << child.report.substr(6);
        }
        EXPECT_EQ(child.report, "1\nold\nfiller night.xlsx \nnpt: Не удалось сохранить таблицу «" +
                                    (disk / "night.xlsx").string() + "»: нет места на диске.\n");
    }
}

// Where in an strace log (with -y: descriptors shown with their paths) a file whose path starts
// with path is synced.
std::size_t positionOfSync(const std::string& log, const std::string& path) {
    for (auto at = log.find("fsync("); at != std::string::npos; at = log.find("fsync(", at + 1)) {
        const auto open = log.find('<', at);
        if (open != std::string::npos && open < log.find('\n', at) &&
            log.compare(open + 1, path.size(), path) == 0) {
            return at;
        }
    }
    return std::string::npos;
}

// What survives a power cut right after the export: the table's content is synced before it
// replaces the earlier file, and the folder after, so the new name is on disk too. Where the
// file system gives files without a name, the content has none until it is synced: a power cut
// or a kill before that leaves nothing beside the table. Seen from outside, in the system calls
// the tool makes.
TEST(NptProcessTest, TableIsSyncedBeforeItReplacesTheFileAndTheFolderAfter) {
    if (run("strace -V >/dev/null 2>&1").status != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    const fs::path dir = scratchDir("cli");
    for (const char* name : {"night.xlsx", "night.csv"}) {
        SCOPED_TRACE(name);
        const fs::path target = dir / name;
        const fs::path log = dir / "strace.log";
        const Process traced = run("strace -f -y -e trace=openat,fsync,linkat,rename -o " +
                                   quoted(log.string()) + " " + quoted(kTool) + " export " +
                                   quoted(kNight) + " " + quoted(target.string()) + " 2>&1");
        if (traced.status != 0 && !fs::exists(target)) {
            GTEST_SKIP() << "strace cannot trace here: " << traced.out;
        }
        const auto bytes = readAll(log);
        const std::string calls(bytes.begin(), bytes.end());
        const std::string temp = (dir / ".").string() + name + ".";  // ".night.xlsx.XXXXXX"
        const auto syncedFile = positionOfSync(calls, dir.string() + "/");
        const auto renamed = calls.find("rename(\"" + temp);
        const auto syncedFolder = positionOfSync(calls, dir.string() + ">");
        ASSERT_NE(syncedFile, std::string::npos) << calls;
        ASSERT_NE(renamed, std::string::npos) << calls;
        ASSERT_NE(syncedFolder, std::string::npos) << calls;
        EXPECT_LT(syncedFile, renamed) << calls;
        EXPECT_LT(renamed, syncedFolder) << calls;
        if (calls.find("O_TMPFILE, 0666) = ") != std::string::npos) {
            EXPECT_GT(calls.find(temp), syncedFile) << "named before it was synced\n" << calls;
        }
        fs::remove(log);
    }
}

// Ctrl+C or SIGTERM (a logout) while a table or a report is written: the program ends by the
// signal as it would have, the earlier file as it was and nothing beside it, neither the
// temporary file (it holds the patient's line) nor the spreadsheet library's scratch files.
// The signal is sent by strace at a chosen system call: a write while the file is produced, its
// sync, the moment it gets its name, and a second signal that does not wait.
TEST(NptProcessTest, TerminationWhileWritingLeavesNothingBehind) {
    if (run("strace -f -qq -o /dev/null true >/dev/null 2>&1").status != 0) {
        GTEST_SKIP() << "strace is not installed or cannot trace here";
    }
    const fs::path dir = scratchDir("cli");
    struct Target {
        const char* command;
        const char* name;
    };
    std::vector<Target> targets = {{"export", "night.xlsx"}, {"export", "night.csv"}};
#ifdef NPT_TOOL_HAS_REPORT
    targets.push_back({"report", "night.pdf"});
#endif
    struct Moment {
        std::vector<std::string> injections;  // strace's -e inject=…, one per system call
        int signal;
    };
    const Moment moments[] = {
        {{"write:signal=SIGINT:when=1"}, SIGINT},
        {{"fsync:signal=SIGTERM:when=1"}, SIGTERM},
        {{"linkat:signal=SIGHUP"}, SIGHUP},
        // The second signal, while the file has its name, removes it and ends the tool at once.
        {{"fsync:signal=SIGTERM:when=1", "linkat:signal=SIGTERM"}, SIGTERM},
        {{"write:signal=SIGTERM:when=1+"}, SIGTERM},
    };
    for (const Target& t : targets) {
        for (const Moment& m : moments) {
            std::string calls, injections;
            for (const std::string& injection : m.injections) {
                calls += (calls.empty() ? "" : ",") + injection.substr(0, injection.find(':'));
                injections += " -e inject=" + injection;
            }
            SCOPED_TRACE(std::string(t.name) + "," + injections);
            const fs::path target = dir / t.name;
            writeAll(target, {'o', 'l', 'd'});
            // The shell reports a program ended by signal N as 128 + N.
            const Process p = run("strace -f -qq -o /dev/null -e trace=" + calls + injections +
                                  " " + quoted(kTool) + " " + t.command + " " + quoted(kNight) +
                                  " " + quoted(target.string()) + " >/dev/null 2>&1; echo $?");
            EXPECT_EQ(p.out, std::to_string(128 + m.signal) + "\n");
            EXPECT_EQ(readAll(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
            EXPECT_EQ(entriesOf(dir), std::set<std::string>{t.name});
            fs::remove(target);
        }
    }
}

}  // namespace
}  // namespace npt
#endif
