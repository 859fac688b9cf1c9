#pragma once
// The steps around a cure, the same for every front end: name the programs the
// cure will close, close them, run the cure, and after a completed cure write
// the browser's start page, then have the machine written back. What differs
// between front ends (asking or printing, saving) goes through CureHooks.
//
// A front end with a thread for the cure calls the steps one by one (Announce
// and Finish on its own thread, ClosePrograms and Cure on the cure's thread);
// one without calls Run, which takes them in order.

#include <atomic>
#include <string>
#include <string_view>

#include "engine/scan.h"
#include "platform/context.h"

namespace veldan::engine {

class CureHooks {
  public:
    virtual ~CureHooks() = default;
    // The programs the cure will close ("Windows 탐색기, Internet Explorer,
    // RUNDLL32" ...); called before anything is closed, only when some run.
    virtual void OnProgramsToClose(const std::string& programs) {}
    // The cure has ended and, when it completed, the start page is written:
    // write the machine back. Returns false when that failed.
    virtual bool SaveMachine() { return true; }
};

class CureSession {
  public:
    CureSession(Context& ctx, ScanResult& result, CureHooks& hooks)
        : ctx_(ctx), result_(result), hooks_(hooks) {}

    // Names the programs to close and tells the hooks; the text, "" when none runs.
    std::string Announce();
    // Closes Explorer and browser windows, ends the browser and the script hosts.
    void ClosePrograms();
    // Cures the checked rows; 1 when the cure ran to its end, 0 when cancelled.
    int Cure(ScanObserver& observer, const std::atomic<int>& cancel);
    // After the cure: when it completed, writes `homePage` as the start page;
    // then the hooks save the machine. Returns the save's result.
    bool Finish(bool completed, std::string_view homePage);

    // Announce, ClosePrograms, Cure and Finish in turn. Returns what Cure
    // returned; `saved` gets what Finish returned.
    int Run(ScanObserver& observer, const std::atomic<int>& cancel, std::string_view homePage,
            bool& saved);

  private:
    Context& ctx_;
    ScanResult& result_;
    CureHooks& hooks_;
};

}  // namespace veldan::engine
