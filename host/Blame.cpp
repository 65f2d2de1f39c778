#include "host/Blame.h"

#include <algorithm>
#include <thread>

#include "host/ServerFolder.h"

namespace {

// How much longer than the observed fault took a suspect is watched when it is scanned again
// alone: ending a process can take a second or more under Wine on a busy machine.
constexpr std::chrono::milliseconds kRecheckMargin{3000};
// A plug-in can end its server from the server's own thread too (closing its request pipe, say),
// with no thread of its own left: it is watched this much longer than the fault took, at most
// the cap, whatever threads it has.
constexpr std::chrono::milliseconds kRecheckGrace{500};
constexpr std::chrono::milliseconds kRecheckGraceCap{1500};
constexpr std::chrono::milliseconds kSettlePoll{50};

bool IsBad(const CScanOutcome& outcome)
{
    return outcome.status == ScanStatus::kCrashed || outcome.status == ScanStatus::kTimedOut;
}

SteadyTime Now() { return std::chrono::steady_clock::now(); }

}  // namespace

CBlame::CBlame(CBlameOptions chosen) : options(std::move(chosen))
{
    servers[0] = std::make_unique<CScanServer>(options.x64);
    servers[1] = std::make_unique<CScanServer>(options.x86);
}

CBlame::~CBlame() = default;

std::unique_ptr<CScanServer>& CBlame::Slot(ServerMachine machine)
{
    return servers[machine == ServerMachine::kX86 ? 1 : 0];
}

const CScanServerOptions& CBlame::OptionsFor(ServerMachine machine) const
{
    return machine == ServerMachine::kX86 ? options.x86 : options.x64;
}

CScanOutcome CBlame::Scan(ServerMachine machine, const std::string& request)
{
    Check();
    CScanOutcome outcome = Slot(machine)->Scan(request);
    // Something else wrote into the server's output: the request is asked again of a new one.
    if (outcome.tainted) {
        Park(machine);
        outcome = Slot(machine)->Scan(request);
    }
    // A server that hung with no thread of an earlier plug-in in it hung in this request's code.
    const bool othersThreads = Slot(machine)->Retired() && Slot(machine)->HasLeftoverThreads();
    if (Slot(machine)->Retired()) Park(machine);

    // 1. Clear evidence costs nothing more.
    if (!IsBad(outcome) || outcome.hostFailure || outcome.priorRequests == 0) return outcome;
    if (outcome.end && outcome.end->PointsAtCurrent()) return outcome;
    if (outcome.status == ScanStatus::kTimedOut && !othersThreads) return outcome;
    // 2. The evidence points elsewhere, or there is none.
    return Confirm(machine, request, std::move(outcome));
}

CScanOutcome CBlame::Confirm(ServerMachine machine, const std::string& request, CScanOutcome first)
{
    auto alone = std::make_unique<CScanServer>(OptionsFor(machine));
    CScanOutcome again = alone->Scan(request);
    if (again.hostFailure) {
        // No verdict either way: the plug-in is to be scanned again, and the end is still judged.
        again.error = "could not be scanned again alone: " + again.error;
        if (first.end) JudgeEnd(machine, *first.end);
        return again;
    }
    // The fresh server goes on as the job's: nothing is lost by having started it. One that
    // hung or blocked served this request alone, and is ended at once.
    if (alone->Running() && !alone->Retired()) {
        Slot(machine)->Kill();
        Slot(machine) = std::move(alone);
    } else {
        alone->Kill();
    }
    if (!first.end) return again;  // a time-out: what happens alone is the verdict
    if (again.end && again.end->SameAs(*first.end)) {
        if (!first.dumpFile.empty()) DeleteFileAt(first.dumpFile);
        return again;
    }
    JudgeEnd(machine, *first.end);
    return again;
}

// 3. A retired server keeps running while threads earlier plug-ins left may still fault.
void CBlame::Park(ServerMachine machine)
{
    std::unique_ptr<CScanServer>& slot = Slot(machine);
    const SteadyTime until = slot->LastAnswer() + options.lateFaultWindow;
    if (slot->Running() && Now() < until && slot->HasLeftoverThreads()) parked.push_back({machine, std::move(slot), until});
    else slot->Kill();
    slot = std::make_unique<CScanServer>(OptionsFor(machine));
}

void CBlame::Check()
{
    for (ServerMachine machine : {ServerMachine::kX64, ServerMachine::kX86}) {
        if (auto end = Slot(machine)->Poll()) JudgeEnd(machine, *end);
        else if (Slot(machine)->Retired()) Park(machine);  // it wrote while nobody asked
    }
    CheckParked();
}

void CBlame::CheckParked()
{
    for (size_t i = 0; i < parked.size();) {
        CParked& entry = parked[i];
        const std::optional<CServerEnd> end = entry.server->Poll();
        if (!end && Now() < entry.until && entry.server->HasLeftoverThreads()) {
            ++i;
            continue;
        }
        CParked taken = std::move(entry);
        parked.erase(parked.begin() + static_cast<std::ptrdiff_t>(i));
        if (!end) {
            taken.server->Kill();
        } else if (end->PointsAtCurrent()) {
            // The plug-in it was retired for did it, and has its verdict already.
            if (!end->dumpFile.empty()) DeleteFileAt(end->dumpFile);
        } else {
            JudgeEnd(taken.machine, *end);
        }
    }
}

// 4. and 5. The recent plug-ins, each scanned alone until one ends its server the same way.
void CBlame::JudgeEnd(ServerMachine machine, const CServerEnd& end)
{
    std::vector<CAnsweredRequest> suspects;
    for (const auto& entry : end.answered)
        if (entry.answered + options.lateFaultWindow >= end.when) suspects.push_back(entry);
    std::reverse(suspects.begin(), suspects.end());  // the latest first
    if (const CAnsweredRequest* named = end.NamedEarlier()) {
        auto found = std::find_if(suspects.begin(), suspects.end(), [&](const auto& s) { return s.request == named->request; });
        if (found != suspects.end()) std::rotate(suspects.begin(), found, found + 1);
    }

    CUnexplainedEnd unexplained;
    unexplained.machine = MachineText(machine);
    unexplained.description = end.Description();
    unexplained.dumpFile = end.dumpFile;
    for (auto entry = suspects.rbegin(); entry != suspects.rend(); ++entry) unexplained.suspects.push_back(entry->request);
    unexplained.why = suspects.empty() ? "no plug-in had answered shortly before" : "none ended a server the same way alone";

    const SteadyTime limit = Now() + options.recheckLimit;
    for (const auto& suspect : suspects) {
        if (Now() >= limit) {
            unexplained.why = "its re-checks took too long";
            break;
        }
        const Recheck result = RecheckSuspect(machine, suspect, end, limit);
        if (result == Recheck::kSameEnd) {
            if (!end.dumpFile.empty()) DeleteFileAt(end.dumpFile);
            return;
        }
        if (result == Recheck::kNotDone) unexplained.why = "a suspect could not be scanned again";
    }
    if (options.unexplained) options.unexplained(unexplained);
}

CBlame::Recheck CBlame::RecheckSuspect(ServerMachine machine, const CAnsweredRequest& suspect, const CServerEnd& observed,
                                       SteadyTime limit)
{
    CScanServer alone(OptionsFor(machine));
    const CScanOutcome again = alone.Scan(suspect.request);
    if (again.hostFailure) return Recheck::kNotDone;
    std::optional<CServerEnd> end = again.end;
    const bool answered = !end && alone.Running() && !alone.Retired();
    if (answered) {
        // Watched as long as the fault took after its answer, and no longer than its threads live.
        const auto delay = std::max(observed.when - suspect.answered, SteadyTime::duration::zero());
        const auto grace = std::min<SteadyTime::duration>(delay + kRecheckGrace, kRecheckGraceCap);
        end = alone.Settle(std::min(limit, Now() + delay + kRecheckMargin), Now() + grace);
    }
    alone.Kill();
    if (!end) return Recheck::kNothing;
    // Alone, whatever ended its server was its own doing.
    if (options.revise) options.revise(suspect.request, *end, answered);
    return end->SameAs(observed) ? Recheck::kSameEnd : Recheck::kOtherEnd;
}

void CBlame::Finish()
{
    // Late faults of the last plug-ins are still seen while the threads they left run on; both
    // machines' servers are watched at once.
    for (;;) {
        bool waiting = false;
        for (ServerMachine machine : {ServerMachine::kX64, ServerMachine::kX86}) {
            std::unique_ptr<CScanServer>& server = Slot(machine);
            if (auto end = server->Poll()) {
                JudgeEnd(machine, *end);
            } else if (server->Retired()) {
                Park(machine);
            } else if (server->Running() && Now() < server->LastAnswer() + options.lateFaultWindow &&
                       server->HasLeftoverThreads()) {
                waiting = true;
            }
        }
        CheckParked();
        if (!waiting && parked.empty()) break;
        std::this_thread::sleep_for(kSettlePoll);
    }
    // Each server takes a while to close its window; they do it side by side.
    for (auto& server : servers) server->CloseRequests();
    for (auto& server : servers) server->Stop();
}
