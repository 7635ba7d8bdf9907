#pragma once
// Shared by the tests that run whole checks: a fresh working folder with its
// "cache" folder per test, short time-outs, and replies that change between checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "core/check_slots.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "support/loopback_server.h"
#include "support/scratch_dir.h"
#include "support/server_process.h"

// A reply that the test changes between checks; the server thread reads it.
class ChangingReply {
public:
    explicit ChangingReply(std::string text) : text_(std::move(text)) {}
    void set(std::string text) {
        std::lock_guard<std::mutex> g(mutex_);
        text_ = std::move(text);
    }
    std::string get() const {
        std::lock_guard<std::mutex> g(mutex_);
        return text_;
    }
    LoopbackServer::Script script(std::string requestEnd = "\r\n\r\n") {
        return LoopbackServer::replyCurrent([this] { return get(); }, std::move(requestEnd));
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// A reply and how the server ends it, both set by the test between checks: its
// orderly close, a reset once the bytes are in, or silence until the client goes.
class EndedReply {
public:
    enum Ending { Close, Reset, Stall };
    void set(std::string text, Ending ending) {
        std::lock_guard<std::mutex> g(mutex_);
        text_ = std::move(text);
        ending_ = ending;
    }
    LoopbackServer::Script script(std::string requestEnd = "\r\n\r\n") {
        return [this, requestEnd](LoopbackServer::Connection& c) {
            if (!c.readUntil(requestEnd)) return;
            std::unique_lock<std::mutex> g(mutex_);
            const std::string text = text_;
            const Ending ending = ending_;
            g.unlock();
            c.send(text);
            if (ending == Reset) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                c.resetOnClose();
            } else if (ending == Stall) {
                c.drainUntilClosed();
            }
        };
    }

private:
    std::mutex mutex_;
    std::string text_;
    Ending ending_ = Close;
};

class CheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramSettings::update([](SettingsValues& v) { v.timeOutMs = 2000; });
        std::filesystem::create_directory("cache");
    }
    void TearDown() override {
        ProgramSettings::reset();
        runState() = RunState();
    }
    // One check as a check task runs it: a slot taken first, given back by the
    // check; then the save of vigil.dat, after which the copy it replaced goes.
    static int check(Vigil& v) {
        checkSlots().take(10);
        v.check();
        EXPECT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
        return v.status();
    }
    static std::vector<std::string> cacheFiles() { return listFiles("cache"); }
    // The text of the Vigil's current copy.
    static std::string current(const Vigil& v) {
        std::string name = v.cacheFileName();
        std::replace(name.begin(), name.end(), '\\', '/');
        return readWholeFile(name);
    }

    ScratchDir dir;
};
