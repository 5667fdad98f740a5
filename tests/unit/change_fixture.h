// The machine most tests of 修改 start from: both port values on 3389, the start-up line in the log, and
// a fake platform whose message boxes answer as the test says.
#pragma once

#include <gtest/gtest.h>

#include "port/port_change.h"
#include "port/port_settings.h"
#include "tests/shared/expected_texts.h"
#include "tests/unit/fakes.h"

namespace korvane::testing {

using expected::kStartLog;
using expected::SuccessLines;

class ChangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        world.registry[kTdsPortPath] = Dword(3389);
        world.registry[kRdpTcpPortPath] = Dword(3389);
        view.log = kStartLog;
        view.newPort = L"10010";
    }

    // Runs 修改 on `port`, answering the message boxes with `answers` (No to the restart question).
    void Change(const std::wstring& port, std::vector<int> answers = {7}) {
        view.newPort = port;
        world.answers = std::move(answers);
        RunPortChange(platform, view);
    }

    FakeWorld world;
    FakePlatform platform{world};
    FakeView view;
};

}  // namespace korvane::testing
