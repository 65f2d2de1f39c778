#pragma once
// Whose verdict is it? The servers of one job, and the rules that give every crash, hang and
// late fault to the plug-in that caused it, cheaply when the evidence is clear:
// 1. clear evidence: a crash whose dump names the request's library, or a thread of the
//    request's, is that request's; so is a hang in a server where no thread an earlier plug-in
//    left still runs, and anything on a server's first request;
// 2. confirmation: otherwise the request is scanned again alone, on a fresh server, and what
//    happens there is its verdict; an end it does not repeat was an earlier plug-in's;
// 3. parked servers: a server retired for a time-out, a block or a tainted answer, in which
//    threads earlier plug-ins left still run, is kept until they are gone or their time is up,
//    and its end is judged like any other;
// 4. re-checks: an end that was not the request's is given to the recent plug-in that, scanned
//    again alone, ends its server the same way (the one the dump names first: a dump is
//    evidence, not proof);
// 5. the cap: re-checks of one end stop after a while; then nobody is blamed, and the end is
//    reported as a death whose culprit is unknown.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/MachineRoute.h"
#include "host/ScanServer.h"

struct CBlameOptions {
    CScanServerOptions x64, x86;
    // A server that ends this long after a plug-in's answer may still be that plug-in's doing.
    std::chrono::milliseconds lateFaultWindow{10000};
    // How long the re-checks of one server's end may take in all.
    std::chrono::milliseconds recheckLimit{30000};
    // A plug-in answered before turned out to have ended a server, after its scan or when scanned
    // again alone.
    std::function<void(const std::string& request, const CServerEnd& end, bool afterScan)> revise;
    std::function<void(const CUnexplainedEnd& end)> unexplained;
};

class CBlame {
public:
    explicit CBlame(CBlameOptions options);
    ~CBlame();
    CBlame(const CBlame&) = delete;
    CBlame& operator=(const CBlame&) = delete;

    // Scans one request on the server of its machine; the outcome is the request's own.
    CScanOutcome Scan(ServerMachine machine, const std::string& request);
    // Looks at every server between requests: ends of idle and parked servers are judged.
    void Check();
    // Waits while threads the last plug-ins left run on, judges what ends meanwhile, then ends
    // every server, all at once.
    void Finish();

private:
    struct CParked {
        ServerMachine machine;
        std::unique_ptr<CScanServer> server;
        SteadyTime until;
    };
    enum class Recheck { kSameEnd, kOtherEnd, kNothing, kNotDone };

    std::unique_ptr<CScanServer>& Slot(ServerMachine machine);
    const CScanServerOptions& OptionsFor(ServerMachine machine) const;
    CScanOutcome Confirm(ServerMachine machine, const std::string& request, CScanOutcome first);
    void Park(ServerMachine machine);
    // Gives an end that was not the request in hand's to an earlier plug-in, or to nobody.
    void JudgeEnd(ServerMachine machine, const CServerEnd& end);
    Recheck RecheckSuspect(ServerMachine machine, const CAnsweredRequest& suspect, const CServerEnd& observed,
                           SteadyTime limit);
    void CheckParked();

    CBlameOptions options;
    std::unique_ptr<CScanServer> servers[2];  // x64, x86; each started when first needed
    std::vector<CParked> parked;
};
