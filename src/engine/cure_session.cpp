#include "engine/cure_session.h"

namespace veldan::engine {

std::string CureSession::Announce() {
    std::string programs = ProgramsToClose(ctx_);
    if (!programs.empty()) hooks_.OnProgramsToClose(programs);
    return programs;
}

void CureSession::ClosePrograms() {
    CloseProgramsForCure(ctx_);
}

int CureSession::Cure(ScanObserver& observer, const std::atomic<int>& cancel) {
    return RunCure(ctx_, result_, observer, cancel);
}

bool CureSession::Finish(bool completed, std::string_view homePage) {
    if (completed) WriteStartPage(ctx_, homePage);
    return hooks_.SaveMachine();
}

int CureSession::Run(ScanObserver& observer, const std::atomic<int>& cancel,
                     std::string_view homePage, bool& saved) {
    Announce();
    ClosePrograms();
    const int completed = Cure(observer, cancel);
    saved = Finish(completed != 0, homePage);
    return completed;
}

}  // namespace veldan::engine
