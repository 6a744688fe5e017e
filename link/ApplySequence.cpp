// Bringing the TA to wanted settings in one session: the query reads what
// it holds, the comparison finds what differs, and a write of only those
// commands, read back after, makes the change.
#include "TaLink.h"

#include "atcmd/ChangeBatch.h"
#include "atcmd/SubmitRules.h"
#include "atcmd/WriteCheck.h"

namespace ta::link {

void TaLink::requestApply(ApplyRequest request)
{
    beginRequest();
    identifyOnly_ = false;
    failureClass_ = FailureClass::None;
    ex_.pendingOperation = poNone;
    apply_ = Apply{std::move(request), {}, false};
    if (ex_.transactionState != tsIdle) {
        startQuery();
        sendQuery();
    } else {
        startDiscovery(Caller::Wizard);
    }
}

// The apply ends without a write; the session stays open as after a query.
bool TaLink::refuseApply(const std::string& message, const std::string& details)
{
    apply_.reset();
    failureClass_ = FailureClass::Local;
    tell(message, details);
    return false;
}

void TaLink::compareForApply()
{
    atcmd::Options options = commandOptions(ctx_);
    // Its X.25 fields were never read: what the apply compares, and would
    // write, leaves them out.
    options.x25OnD = options.x25OnD && !apply_->x25Unanswered;
    const TaProfile ta = ctx_.workingProfile;
    const Result<TaProfile> wanted = apply_->request.wanted(ta, options);
    if (!wanted) {
        refuseApply(wanted.error());
        return;
    }
    apply_->differences = atcmd::differencesToWrite(*wanted, options, ta, apply_->request.compareClock);
    // The write would be refused by the field rules, and so is the check
    // that stands for it: what the TA ends up holding, its own values and
    // the wanted ones together, must keep them.
    if (const auto breaks = atcmd::submitRuleBreaks(*wanted, options);
        !apply_->differences.empty() && !breaks.empty()) {
        const auto [failure, details] = ruleRefusal(breaks);
        refuseApply(failureMessage(failure), details);
        return;
    }
    const bool writing = !apply_->request.checkOnly && !apply_->differences.empty();
    screen_.applyCompared(apply_->differences, writing);
    if (!writing) {
        apply_.reset();
        return;
    }
    ctx_.workingProfile = *wanted;
    startSubmit();
    sendSubmitCommand();
}

} // namespace ta::link
