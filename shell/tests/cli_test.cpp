// stitchara-cli as a user of command-line tools meets it: its options, its
// answers to mistakes, a disk that refuses the file, and being stopped.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;  // exit status, or -1 when ended by a signal
    std::string out, err;
};

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        const char* build = std::getenv("STITCHARA_BUILD_DIR");
        tool_ = build ? std::string(build) + "/bin/stitchara-cli" : "";
        if (tool_.empty() || ::access(tool_.c_str(), X_OK) != 0) GTEST_SKIP() << "no stitchara-cli";
        dir_ = fs::temp_directory_path() / ("cli_test_" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "tmp");
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A colour picture of noise (it does not compress) as a binary PPM.
    std::string Picture(const std::string& name, int width, int height) {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out << "P6\n" << width << " " << height << "\n255\n";
        std::string row(std::size_t(width) * 3, '\0');
        std::uint32_t seed = 12345;
        for (int y = 0; y < height; ++y) {
            for (char& c : row) {
                seed = seed * 1103515245u + 12345u;
                c = char(seed >> 24);
            }
            out << row;
        }
        return path.string();
    }
    static std::string Quote(const std::string& s) { return "'" + s + "'"; }
    // Runs the tool through the shell in the scratch folder; prefix goes
    // before it (settings, ulimit).
    ToolRun Tool(const std::vector<std::string>& args, const std::string& prefix = "") {
        std::string command = prefix + " " + Quote(tool_);
        for (const auto& a : args) command += " " + Quote(a);
        command += " >" + Quote((dir_ / "out.txt").string()) + " 2>" + Quote((dir_ / "err.txt").string()) +
                   " </dev/null";
        ToolRun r;
        const int raw = std::system(
            ("cd " + Quote(dir_.string()) + " && TMPDIR=" + Quote((dir_ / "tmp").string()) + " " + command).c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = Text(dir_ / "out.txt");
        r.err = Text(dir_ / "err.txt");
        return r;
    }
    static std::string Text(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Names in the directory (the scratch folder of the swap files by default).
    std::vector<std::string> Entries(const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
        return names;
    }
    // Starts the tool in the background with the swap files in dir_/tmp.
    pid_t Start(const std::vector<std::string>& args) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::setenv("TMPDIR", (dir_ / "tmp").c_str(), 1);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            std::vector<char*> argv{const_cast<char*>(tool_.c_str())};
            for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(tool_.c_str(), argv.data());
            ::_exit(127);
        }
        return child;
    }
    // Whether pid holds an flock on the file with inode ino (/proc/locks
    // lists every lock: "1: FLOCK  ADVISORY  WRITE PID MAJ:MIN:INODE 0 EOF").
    static bool LockedBy(pid_t pid, ino_t ino) {
        std::ifstream locks("/proc/locks");
        std::string line;
        while (std::getline(locks, line)) {
            std::istringstream words(line);
            std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
            const auto flock = std::find(w.begin(), w.end(), "FLOCK");
            // Waiters ("->") hold nothing yet.
            if (flock == w.end() || std::find(w.begin(), w.end(), "->") != w.end() || w.end() - flock < 5) continue;
            const std::string& where = flock[4];
            if (flock[3] == std::to_string(pid) && where.substr(where.rfind(':') + 1) == std::to_string(ino))
                return true;
        }
        return false;
    }
    // Waits until the running tool owns a swap file in dir_/tmp that is not
    // among known: made and locked, and so also recorded for removal (the
    // lock is taken last). Generous, bounded, and over as soon as the tool
    // ends: how fast the tool gets there is not what is tested.
    bool OwnsNewSwapFile(pid_t pid, const std::vector<std::string>& known = {}) {
        for (int i = 0; i < 12000; ++i) {
            for (const auto& name : Entries(dir_ / "tmp")) {
                if (std::find(known.begin(), known.end(), name) != known.end()) continue;
                struct stat st {};
                if (::stat((dir_ / "tmp" / name).c_str(), &st) == 0 && LockedBy(pid, st.st_ino)) return true;
            }
            siginfo_t info{};
            if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    std::string tool_;
    fs::path dir_;
};

TEST_F(Cli, OptionsAndMistakesAsCommandLineToolsAnswerThem) {
    const std::string in = Picture("in.ppm", 16, 8);
    const std::string dashed = (dir_ / "-dashed.ppm").string();
    fs::copy_file(in, dashed);
    const std::string out = (dir_ / "out.png").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;  // in stdout for status 0, stderr otherwise
    };
    const Case cases[] = {
        {{"--version"}, 0, "stitchara-cli "},
        {{"--help"}, 0, "--compression none|lzw"},
        {{"convert", "--help"}, 0, "--quality 1..100"},
        {{"deskew", "--help"}, 0, "should become\n       vertical"},
        {{"--quiet", "info", in}, 0, "width=16 height=8"},
        {{"--memory-limit", "1M", "info", "--", "-dashed.ppm"}, 0, "width=16"},
        {{"info", in, "--bogus"}, 2, "info has no option --bogus"},
        {{"--type", "bw", "convert", in, out}, 2, "--type belongs after the command"},
        {{"convert", in, out, "--type", "bw", "--type", "gray16"}, 2, "--type is given more than once"},
        {{"convert", in, out, "--pattern", "2"}, 2, "need --mode 3"},
        {{"convert", in, out, "--quality", "50"}, 2, "--quality is for JPEG"},
        {{"convert", in, (dir_ / "o.jpg").string(), "--compression", "lzw"}, 2, "--compression is for TIFF"},
        {{"stitch", in, in, "-o", out, "--main-point", "1,1", "--rest-point", "1,1"}, 2, "Auto finds the overlap"},
        {{"convert", in, (dir_ / ".png").string()}, 1, "nothing before its extension"},
        {{"convert", in, (dir_ / "o.gif").string()}, 1, "--type color256"},
        {{"stitch", in, in, "-o", (dir_ / "o.gif").string()}, 1, "--type color256"},
        {{"convert", in, (dir_ / "o.tif").string(), "--compression", "g4"}, 1, "black-and-white"},
        {{"transform", in, (dir_ / "nodir/o.vdl").string(), "--op", "mirror-h"}, 1, "does not exist"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        ToolRun r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << line << "\n" << r.err;
        const std::string& text = c.status == 0 ? r.out : r.err;
        EXPECT_NE(text.find(c.says), std::string::npos) << line << "\n" << text;
    }
    // None of the refused outputs was written.
    for (const char* name : {"out.png", ".png", "o.gif", "o.tif", "o.jpg"}) EXPECT_FALSE(fs::exists(dir_ / name)) << name;
    // A memory limit in the environment that is not a byte count is not ignored.
    ToolRun r = Tool({"info", in}, "STITCHARA_MEMORY_LIMIT=lots");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("STITCHARA_MEMORY_LIMIT"), std::string::npos) << r.err;
}

// A usage error, found by the command or before it runs, is one line and
// then the usage of that command (of all when no command is known), once.
TEST_F(Cli, AUsageErrorIsFollowedByItsCommandsUsageOnce) {
    const std::string in = Picture("in.ppm", 16, 8);
    const std::string out = (dir_ / "out.png").string();
    struct Case {
        std::vector<std::string> args;
        const char* line;   // the error's line
        const char* usage;  // how the usage after it begins
    };
    const Case cases[] = {
        {{"convert", in, out, "--pattern", "2"}, "need --mode 3", "usage: stitchara-cli convert IN OUT"},
        {{"info"}, "info takes one file", "usage: stitchara-cli info FILE"},
        {{"--memory-limit", "lots", "rescale", in, out}, "--memory-limit takes", "usage: stitchara-cli rescale IN OUT"},
        {{"bogus"}, "unknown command 'bogus'", "usage: stitchara-cli [--quiet]"},
    };
    for (const Case& c : cases) {
        const ToolRun r = Tool(c.args);
        EXPECT_EQ(r.status, 2) << c.line;
        const std::size_t end = r.err.find('\n');
        ASSERT_NE(end, std::string::npos) << c.line;
        EXPECT_EQ(r.err.rfind("stitchara-cli: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.substr(0, end).find(c.line), std::string::npos) << r.err;
        EXPECT_EQ(r.err.compare(end + 1, std::strlen(c.usage), c.usage), 0) << r.err;
        EXPECT_EQ(r.err.find("usage:", end + 2), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << c.line;
    }
}

TEST_F(Cli, AWriteTheSystemRefusesIsOneLineWithTheSystemsReason) {
    const std::string in = Picture("in.ppm", 200, 100);
    // Files may grow to 8 KB only; the signal that would end the tool is ignored.
    const std::string limit = "trap '' XFSZ; ulimit -f 8;";
    for (const char* name : {"o.bmp", "o.tif", "o.png", "o.vdl", "o.ppm"}) {
        std::vector<std::string> args = {"convert", in, (dir_ / name).string()};
        if (std::string(name) == "o.tif") args.insert(args.end(), {"--compression", "none"});
        ToolRun r = Tool(args, limit);
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err, "stitchara-cli: cannot write '" + (dir_ / name).string() +
                             "': the file would be larger than the file system allows\n")
            << name;
        EXPECT_FALSE(fs::exists(dir_ / name)) << name;
    }
    ToolRun r = Tool({"transform", in, (dir_ / "t.vdl").string(), "--op", "mirror-v"}, limit);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "stitchara-cli: cannot write '" + (dir_ / "t.vdl").string() +
                         "': the file would be larger than the file system allows\n");
    // Nothing of the process stays behind.
    for (const auto& name : Entries(dir_)) EXPECT_NE(name.rfind(".~", 0), 0u) << name;
}

TEST_F(Cli, EveryWayOfStoppingRemovesWhatTheProcessMade) {
    // Work that lasts: a noise picture of 18 MB through a 1 MB memory limit
    // takes seconds to convert, and each run below is stopped as soon as it
    // owns its first swap file. The input is a BMP: a binary PPM would be
    // converted row by row straight from the file, with no picture to swap.
    const std::string ppm = Picture("big.ppm", 3000, 2000);
    const std::string in = (dir_ / "big.bmp").string();
    ASSERT_EQ(Tool({"convert", ppm, in, "--quiet"}).status, 0);
    const std::string out = (dir_ / "out.png").string();
    const std::vector<std::string> convert = {"convert", in, out, "--memory-limit", "1M"};
    // Ended by a signal at once (--quiet), or Ctrl-C taken as Escape: no swap
    // file and no save temporary stays, no output appears, and the exit is
    // not a success.
    for (int sig : {SIGINT, SIGTERM, SIGHUP, -SIGINT}) {
        std::vector<std::string> args = convert;
        if (sig > 0) args.push_back("--quiet");
        const pid_t child = Start(args);
        const bool owns = OwnsNewSwapFile(child);
        ::kill(child, owns ? (sig > 0 ? sig : -sig) : SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(owns) << sig << ": the tool never held a swap file";
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << sig;
        EXPECT_TRUE(Entries(dir_ / "tmp").empty()) << sig;
        for (const auto& name : Entries(dir_)) EXPECT_NE(name.rfind(".~", 0), 0u) << sig << " " << name;
        EXPECT_FALSE(fs::exists(out)) << sig;
    }
    // Killed outright, it leaves its swap file; the next start removes it
    // once it has been left a while, but never one of a process still at work.
    std::vector<std::string> args = convert;
    args.push_back("--quiet");
    const pid_t killed = Start(args);
    const bool killedOwned = OwnsNewSwapFile(killed);
    ::kill(killed, SIGKILL);
    ::waitpid(killed, nullptr, 0);
    ASSERT_TRUE(killedOwned);
    const std::vector<std::string> left = Entries(dir_ / "tmp");
    ASSERT_FALSE(left.empty());
    const pid_t stopped = Start(args);
    const bool stoppedOwns = OwnsNewSwapFile(stopped, left);
    ::kill(stopped, SIGSTOP);
    int state = 0;
    ::waitpid(stopped, &state, WUNTRACED);
    // What the stopped process holds; all of it made a minute ago.
    std::vector<std::string> held;
    struct timeval old[2];
    ::gettimeofday(&old[0], nullptr);
    old[0].tv_sec -= 60;
    old[1] = old[0];
    for (const auto& name : Entries(dir_ / "tmp")) {
        const fs::path path = dir_ / "tmp" / name;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && LockedBy(stopped, st.st_ino)) held.push_back(name);
        ::utimes(path.c_str(), old);
    }
    const int formats = Tool({"formats"}).status;
    const std::vector<std::string> after = Entries(dir_ / "tmp");
    ::kill(stopped, SIGKILL);
    ::waitpid(stopped, nullptr, 0);
    ASSERT_TRUE(stoppedOwns && WIFSTOPPED(state));
    EXPECT_FALSE(held.empty());
    EXPECT_EQ(formats, 0);
    for (const auto& name : left)
        EXPECT_EQ(std::find(after.begin(), after.end(), name), after.end()) << name << " stayed";
    for (const auto& name : held)
        EXPECT_NE(std::find(after.begin(), after.end(), name), after.end()) << name << " of a live process went";
}

}  // namespace

// crop and trim: the pixels they keep, and every refusal leaves no file.
TEST_F(Cli, CropAndTrimKeepTheirPixelsAndRefuseWhatWouldBeEmpty) {
    // A PPM's pixels: what follows its three header lines.
    auto pixels = [](const std::string& path) {
        std::string text = Text(path);
        std::size_t at = 0;
        for (int line = 0; line < 3 && at != std::string::npos; ++line) at = text.find('\n', at) + 1;
        return text.substr(at);
    };
    auto region = [](const std::string& all, int width, int x, int y, int w, int h) {
        std::string out;
        for (int row = y; row < y + h; ++row) out += all.substr((std::size_t(row) * width + x) * 3, std::size_t(w) * 3);
        return out;
    };
    const std::string in = Picture("in.ppm", 30, 20);
    const std::string noise = pixels(in);
    ToolRun r = Tool({"crop", in, (dir_ / "c.ppm").string(), "--rect", "5,4,10,6"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(pixels((dir_ / "c.ppm").string()), region(noise, 30, 5, 4, 10, 6));

    // The noise inside a white border, on every side; a near-white pixel in
    // the border is border with a tolerance and content without.
    std::string framed(std::size_t(40) * 32 * 3, '\xff');
    for (int y = 0; y < 20; ++y) framed.replace((std::size_t(y + 7) * 40 + 6) * 3, 30 * 3, noise, std::size_t(y) * 30 * 3, 30 * 3);
    framed.replace((std::size_t(30) * 40 + 39) * 3, 3, "\xfa\xfa\xfa");
    {
        std::ofstream out(dir_ / "framed.ppm", std::ios::binary);
        out << "P6\n40 32\n255\n" << framed;
    }
    const std::string framedPath = (dir_ / "framed.ppm").string();
    r = Tool({"trim", framedPath, (dir_ / "t.ppm").string(), "--tolerance", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(pixels((dir_ / "t.ppm").string()), noise);
    r = Tool({"trim", framedPath, (dir_ / "t0.ppm").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(pixels((dir_ / "t0.ppm").string()), region(framed, 40, 6, 7, 34, 24));

    std::string white(std::size_t(8) * 8 * 3, '\xff');
    {
        std::ofstream out(dir_ / "white.ppm", std::ios::binary);
        out << "P6\n8 8\n255\n" << white;
    }
    const std::string o = (dir_ / "o.ppm").string();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"crop", in, o, "--rect", "5,4,0,6"}, 1, "has no pixels"},
        {{"crop", in, o, "--rect", "25,4,6,6"}, 1, "outside the picture, which is 30x20"},
        {{"crop", in, o, "--rect", "-1,0,3,3"}, 1, "outside the picture"},
        {{"crop", in, o, "--rect", "5,4,10"}, 2, "crop needs --rect X,Y,W,H"},
        {{"crop", in, o}, 2, "crop needs --rect"},
        {{"trim", (dir_ / "white.ppm").string(), o}, 1, "all border"},
        {{"trim", in, o, "--tolerance", "256"}, 2, "0 to 255"},
        {{"trim", in, o, "--rect", "1,1,1,1"}, 2, "trim has no option --rect"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const auto& a : c.args) line += a + " ";
        r = Tool(c.args);
        EXPECT_EQ(r.status, c.status) << line << "\n" << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << line << "\n" << r.err;
        EXPECT_FALSE(fs::exists(o)) << line;
    }
    r = Tool({"--help"});
    EXPECT_NE(r.out.find("crop IN OUT --rect X,Y,W,H"), std::string::npos);
    EXPECT_NE(r.out.find("trim IN OUT [--tolerance N]"), std::string::npos);
}
