#pragma once
// What the program keeps for its whole run and its windows share: the context
// of the machine being scanned, the program folder, the home page, the layout,
// the versions, the settings, the way to ask the user, the journaling machine
// a cure runs on, and the hook that writes the machine back after a change.

#include <QString>
#include <functional>
#include <string>

#include "platform/app_settings.h"
#include "platform/context.h"
#include "quarantine/journaling_machine.h"
#include "ui/layout.h"
#include "ui/prompter.h"

namespace veldan::ui {

struct AppState {
    AppState(platform::Context& context, std::string folder, Prompter& prompts)
        : ctx(context), programFolder(std::move(folder)), settings(programFolder), prompter(prompts) {}

    platform::Context& ctx;
    std::string programFolder;  // host folder holding core/, data/, log/ and Veldan.ini
    std::string homePage = "about:blank";
    std::string latestVersion;  // the update server's answer; "" until known
    WindowLayout layout;
    platform::CAppSettings settings;
    Prompter& prompter;
    // The machine of `ctx` as the journaling machine it is opened in: cures are
    // journaled and their removed items kept in its quarantine folder. Null
    // when the machine is not journaled: then a cure keeps nothing.
    quarantine::JournalingMachine* journal = nullptr;
    // Called on the user-interface thread after the machine was changed (a cure,
    // an immunization run, a kill bit); writes it back. May be empty.
    std::function<void()> machineChanged;
    // Why the machine cannot be written back, in Korean; "" when it can (or when
    // empty). Asked before a cure changes anything.
    std::function<QString()> machineNotWritable;

    void MachineChanged() {
        if (machineChanged) machineChanged();
    }
    QString MachineNotWritable() const { return machineNotWritable ? machineNotWritable() : QString(); }
};

}  // namespace veldan::ui
