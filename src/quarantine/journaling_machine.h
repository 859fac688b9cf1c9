#pragma once
// A machine that journals every change made through it while a cure runs.
//
// It wraps an opened machine and passes every call through. Armed for a cure
// (BeginCure), each call that changes the machine first records the change
// and the state it replaces in the cure's journal, flushed to the disk, then
// makes it; files it deletes or overwrites are kept in the quarantine first.
// Armed for a plan (BeginPlan), it records the changes and makes none. The
// quarantine folder is hidden from folder listings, so scans never look inside.
// It sits above every backend, so images, installations and a live machine
// are journaled alike. Nothing here prints: what happens goes to a JournalObserver.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "machine/loaded_machine.h"
#include "quarantine/change.h"
#include "quarantine/journal.h"

namespace veldan::quarantine {

class JournalObserver {
  public:
    virtual ~JournalObserver() = default;
    // A change was made (in a plan: would be made).
    virtual void OnChange(const Change& change) {}
    // A file streams into or out of the quarantine: bytes done of the total.
    virtual void OnFileProgress(std::string_view path, std::uint64_t done, std::uint64_t total) {}
};

class JournalingMachine final : public machine::LoadedMachine {
  public:
    explicit JournalingMachine(std::unique_ptr<machine::LoadedMachine> inner);
    ~JournalingMachine() override;

    machine::Registry& registry() override;
    machine::FileSystem& files() override;
    machine::Profiles& profiles() override;
    machine::ShellLinks& shellLinks() override { return inner_->shellLinks(); }
    machine::Processes& processes() override;
    machine::Windows& windows() override;
    machine::Launcher& launcher() override { return inner_->launcher(); }
    machine::Clock& clock() override { return inner_->clock(); }
    machine::SystemInfo& system() override { return inner_->system(); }
    using Machine::files;
    using Machine::registry;

    const std::string& folder() const override { return inner_->folder(); }
    const std::string& userName() const override { return inner_->userName(); }
    bool Save(machine::MachineError& error) override { return inner_->Save(error); }
    bool CheckWritable(machine::MachineError& error) const override {
        return inner_->CheckWritable(error);
    }
    std::vector<std::string> Backups() const override { return inner_->Backups(); }
    std::vector<machine::RestartAction> Restart() override { return inner_->Restart(); }
    std::vector<std::string> PendingDeletes() const override { return inner_->PendingDeletes(); }

    // The machine underneath, whose calls are never journaled.
    machine::LoadedMachine& inner() { return *inner_; }

    // The quarantine folder (a Windows path of this machine); hidden from listings.
    void SetQuarantineFolder(std::string path);
    const std::string& quarantineFolder() const { return quarantine_; }

    // Starts journaling a cure of the named entries: creates the quarantine
    // folder, the cure's own folder and its journal, durable on the disk; the
    // changes of an earlier cure are forgotten. On failure nothing is journaled
    // and `problem` says what could not be written.
    [[nodiscard]] machine::WinError BeginCure(const std::vector<std::string>& entries,
                                              std::string& problem);
    // Starts a plan: changes are recorded as they would be made, and none is made.
    void BeginPlan();
    // The result row whose cure lines run now; -1 for the steps around the cure.
    void SetRow(int row) { row_ = row; }
    // Ends the cure (or plan): the journal gets its end line and is closed.
    machine::WinError End(bool completed);
    // Every further change fails with ERROR_WRITE_FAULT, and neither the machine
    // nor the journal is touched: the state a stop at this point leaves.
    void Halt();

    // A cure stops by itself when the quarantine's disk is full (a file cannot
    // be kept, or the journal cannot be written): the change at hand is not
    // made, the journal ends there, every further change fails as after Halt,
    // and `cancel` (when given) is raised so the cure ends before its next line.
    void SetCancelFlag(std::atomic<int>* cancel) { cancel_ = cancel; }
    // Why the cure stopped by itself; "" while it did not.
    const std::string& stopProblem() const { return stopProblem_; }

    // The id and folder of the cure being journaled ("" for none).
    const std::string& cureId() const { return cureId_; }
    std::string cureFolder() const;
    // The changes made so far (in a plan: planned), in order.
    const std::vector<Change>& changes() const { return changes_; }
    void SetObserver(JournalObserver* observer) { observer_ = observer; }

    // Used by the services: true while changes are recorded.
    bool Recording() const { return mode_ != Mode::Pass; }
    class Step;
    // Records and makes one change (see the source for the steps).
    machine::WinError Make(Step& step);
    // Whether a listed entry of folder `pattern` is the quarantine folder.
    bool IsQuarantine(std::string_view pattern, std::string_view name) const;
    // Keeps the content of a file in the quarantine as the payload of change
    // `seq`; `state` gets the payload's name and content digest.
    machine::WinError Keep(std::string_view path, std::uint64_t seq, Json& state);

  private:
    enum class Mode { Pass, Plan, Journal, Halted };
    class Services;

    // Stops the cure with `problem`; the journal gets its end line when it can
    // still be written (`journalWhole`), else it ends with the line cut short.
    void Stop(std::string problem, bool journalWhole);
    // Stops the cure after a journal line failed with `e`.
    void JournalFailed(machine::WinError e);

    std::unique_ptr<machine::LoadedMachine> inner_;
    std::unique_ptr<Services> services_;
    Mode mode_ = Mode::Pass;
    std::string quarantine_;
    std::string cureId_;
    JournalWriter journal_;
    std::vector<Change> changes_;
    std::uint64_t seq_ = 0;
    int row_ = -1;
    JournalObserver* observer_ = nullptr;
    std::atomic<int>* cancel_ = nullptr;
    std::string stopProblem_;
};

// The opened machine wrapped in a journaling machine whose quarantine folder is
// QuarantineFolder(machine, chosen): the machine's default one when `chosen` is
// empty. Every front end opens its machine this way.
std::unique_ptr<JournalingMachine> Journaled(std::unique_ptr<machine::LoadedMachine> opened,
                                             std::string_view chosen = {});

}  // namespace veldan::quarantine
