// The program's modules set up in this process, as start-up does.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

#include "fakes.h"
#include "registry.h"

namespace test {

// The program's modules set up in this process as start-up does (language,
// settings and statistics as stored, window classes, frame banks, and with
// `windows` both windows parked), without the message loop. The key holds
// `stored` and nothing else; with a `locale`, the user's language is that.
// Every module is reset and the key deleted on the way out. The test exe
// must carry the resources (RESOURCES in CMake).
class Program {
public:
    explicit Program(const std::vector<StoredValue>& stored = {}, LCID locale = 0, bool windows = true);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;
    // Started, with its windows where it was asked to make them.
    bool Loaded() const;

private:
    std::unique_ptr<FakeUserLocale> user_;
    CleanRegistry clean_;
    bool windows_, loaded_ = false;
};

// Every module back to its state at process start.
void ResetAllModules();
// The program run in this process left as a fresh process has it: its
// timers stopped, every module reset, its windows gone and what they left
// queued handled (the quit their end posts dropped).
void LeaveProgram();

}  // namespace test
