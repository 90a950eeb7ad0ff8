// The built npt tool run as a separate process, as a script or another program would use it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <random>

#include "form_fixture.h"

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
        "assert set(d) == {'fields','messages','points','diameters'}, d.keys(); "
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

}  // namespace
}  // namespace npt
