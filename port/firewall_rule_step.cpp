#include "port/firewall_rule_step.h"

#include "platform/failure_text.h"
#include "port/sentences.h"

namespace korvane {

namespace {

class MakeRule final : public UndoableStep {
public:
    MakeRule(FirewallPolicy& firewall, FirewallRule rule) : firewall_(firewall), rule_(std::move(rule)) {}

    Status Apply(std::wstring& failedStep) override {
        Status status = firewall_.FindRule(rule_.name, previous_, existed_);
        if (!status) {
            failedStep = Say(words::kReadRule, {{L"rule", rule_.name}});
            return status;
        }
        // From here on Undo has work to do: a rewrite that fails halfway has changed the rule all the same.
        attempted_ = true;
        bool added = false;
        status = firewall_.EnsureRule(rule_, added);
        if (!status) {
            failedStep = Say(words::kAddRule, {{L"rule", rule_.name}});
            return status;
        }
        made_ = true;
        return status;
    }

    bool Changed() const override { return made_ || (attempted_ && existed_); }

    std::wstring Undo() override {
        if (!attempted_) return {};
        attempted_ = false;
        bool added = false;
        const Status status = existed_ ? firewall_.EnsureRule(previous_, added) : firewall_.RemoveRule(rule_.name);
        if (status) return {};
        return Say(existed_ ? words::kRuleNotRestored : words::kRuleNotRemoved,
                   {{L"rule", rule_.name}, {L"reason", DescribeFailure(status)}});
    }

private:
    FirewallPolicy& firewall_;
    FirewallRule rule_;
    FirewallRule previous_;
    bool existed_ = false;
    bool attempted_ = false;
    bool made_ = false;
};

}  // namespace

std::unique_ptr<UndoableStep> FirewallRuleStep(FirewallPolicy& firewall, FirewallRule rule) {
    return std::make_unique<MakeRule>(firewall, std::move(rule));
}

}  // namespace korvane
