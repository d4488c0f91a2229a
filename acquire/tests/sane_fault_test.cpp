// Faults of the scanner itself, through a stand-in library: short data, a
// device unplugged in the middle of a scan, frames nobody knows, no device.
// Each gives a clear message, delivers nothing and closes the conversation;
// the next scan works.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "acquire/twain_acquirer.h"
#include "base/message_box.h"
#include "platform/profile.h"

using namespace twain;

namespace {

struct Receiver : CTwainOwner {
    std::vector<std::unique_ptr<CPicture>> pictures;
    int empties = 0;
    void OnTwainXferDone(HGlobal dib, std::unique_ptr<CPicture> picture) override {
        if (dib) {
            picture = std::make_unique<CPicture>();
            if (!picture->AttachPackedDib(std::move(dib))) picture.reset();
        }
        if (picture) pictures.push_back(std::move(picture));
        else ++empties;
    }
};

class SaneFault : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        const char* build = std::getenv("STITCHARA_BUILD_DIR");
        ASSERT_NE(build, nullptr);
        ::setenv("STITCHARA_SANE_LIBRARY", (std::string(build) + "/acquire/libfake_sane.so").c_str(), 1);
        ini_ = ::testing::TempDir() + "sane_fault_" + std::to_string(::getpid()) + ".ini";
        std::remove(ini_.c_str());
        platform::SetProfilePath(ini_);
        platform::WriteProfileInt("MainWindow", "TwainNative", GetParam());
        SetMessageSink([this](const std::string& text) { messages.push_back(text); });
    }
    void TearDown() override {
        ::unsetenv("STITCHARA_SANE_LIBRARY");
        ::unsetenv("FAKE_SANE_SCRIPT");
        SetMessageSink({});
        platform::SetProfilePath("");
        std::remove(ini_.c_str());
    }
    Receiver Scan(const char* script, bool* closed) {
        ::setenv("FAKE_SANE_SCRIPT", script, 1);
        Receiver receiver;
        CTwainAcquirer acquirer;
        acquirer.SetScreenDpi(120, 110);
        acquirer.Prepare(&receiver);
        if (acquirer.Acquire())
            while (acquirer.ProcessMessage(nullptr)) {
            }
        *closed = !acquirer.IsSourceOpen() && !acquirer.IsManagerOpen();
        return receiver;
    }
    std::vector<std::string> messages;
    std::string ini_;
};

TEST_P(SaneFault, EachFaultIsToldAndDeliversNothing) {
    struct Case {
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {"short", "The scanner reported a problem: the scanner sent less image data than it announced."},
        {"vanish", "The scanner reported a problem: Error during device I/O."},
        {"format", "The scanner reported a problem: unknown frame format"},
        {"depth", "The scanner reported a problem: unknown bit depth"},
        {"none", "The scanner driver could not be started. Please make sure that the scanner and its driver are installed correctly."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        messages.clear();
        bool closed = false;
        Receiver r = Scan(c.script, &closed);
        EXPECT_TRUE(r.pictures.empty());
        EXPECT_TRUE(closed);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].rfind(c.message, 0), 0u) << messages[0];
    }
    // The program goes on: the next scan arrives whole, at the screen's
    // resolution since the device names none.
    messages.clear();
    bool closed = false;
    Receiver r = Scan("ok", &closed);
    ASSERT_EQ(r.pictures.size(), 1u);
    EXPECT_TRUE(messages.empty());
    CPicture& p = *r.pictures[0];
    EXPECT_EQ(p.GetType(), ptGray256);
    EXPECT_EQ(p.GetXDpi(), 120);
    EXPECT_EQ(p.GetYDpi(), 110);
    std::vector<std::uint8_t> row(64);
    for (int y : {0, 31}) {
        p.ReadRow(0, 63, y, row.data());
        EXPECT_EQ(row[0], y);
        EXPECT_EQ(row[63], 63 + y);
    }
}

// Reads that find no data yet wait on the device's descriptor (where the
// front end keeps its windows alive); a wait that answers false cancels.
TEST_P(SaneFault, NonBlockingReadsWaitOnTheDeviceAndCanBeCancelled) {
    struct Waiter : ReadWaiter {
        int waits = 0, withDescriptor = 0, cancelAt = 0;
        bool Wait(int fd) override {
            ++waits;
            if (fd >= 0) ++withDescriptor;
            return waits != cancelAt;
        }
    } waiter;
    SetReadWaiter(&waiter);
    bool closed = false;
    Receiver r = Scan("nonblock", &closed);
    ASSERT_EQ(r.pictures.size(), 1u);
    EXPECT_GT(waiter.withDescriptor, 10);
    EXPECT_EQ(waiter.waits, waiter.withDescriptor);
    waiter.cancelAt = waiter.waits + 5;
    Receiver cancelled = Scan("nonblock", &closed);
    SetReadWaiter(nullptr);
    EXPECT_TRUE(cancelled.pictures.empty());
    EXPECT_TRUE(closed);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(MemoryAndNative, SaneFault, ::testing::Values(0, 1));

}  // namespace
