// The machine most tests of 修改 start from: both port values on 3389, Windows' own Remote Desktop rules
// enabled, the start-up line in the log, and a fake platform whose message boxes answer as the test says.
#pragma once

#include <gtest/gtest.h>

#include "port/rule_plan.h"
#include "port/port_change.h"
#include "port/port_settings.h"
#include "tests/shared/expected_texts.h"
#include "tests/shared/ordinary_machine.h"
#include "tests/unit/fakes.h"

namespace korvane::testing {

using expected::kStartLog;
using expected::SuccessLines;

class ChangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        world = OrdinaryMachine();
        view.log = kStartLog;
        view.newPort = L"10010";
    }

    static FakeWorld OrdinaryMachine() {
        FakeWorld machine;
        machine.registry[kTdsPortPath] = Dword(3389);
        machine.registry[kRdpTcpPortPath] = Dword(3389);
        machine.windowsRules = expected::WindowsRemoteDesktopRules();
        return machine;
    }

    // Changed to `port` before, and not restarted since: both values hold it, and its rules are made.
    void ChangedBefore(const std::wstring& port) {
        world.registry[kTdsPortPath] = Dword(static_cast<uint32_t>(std::stoul(port)));
        world.registry[kRdpTcpPortPath] = Dword(static_cast<uint32_t>(std::stoul(port)));
        const RemoteDesktopListener listener{world.version, platform.SystemDirectory()};
        for (const FirewallRule& rule :
             FirewallRulesFor(static_cast<uint16_t>(std::stoul(port)), 3389, world.windowsRules, listener).rules)
            world.rules[rule.name] = rule;
    }

    // The prompts of the warnings shown, each checked to be Yes/No with the warning icon and No the default.
    std::vector<std::wstring> Questions() const {
        std::vector<std::wstring> questions;
        for (const auto& message : world.messages) {
            if (message.title != L"警告") continue;
            EXPECT_EQ(message.style, 4 | 48 | 256) << "Yes/No, warning icon, No the default";
            questions.push_back(message.prompt);
        }
        return questions;
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
