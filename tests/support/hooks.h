// Hooks in this exe's import table: every platform call the product makes
// goes through it, so a test can observe and steer those calls without
// touching the product. A hook is a Fake; the steps it sees go into a
// StepLog.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "store/store.h"

namespace test {

// Replaces, in this exe's import table, the entry of `function` from `dll`
// (e.g. "USER32.dll", "SetTimer") with `replacement`; returns the original,
// or nullptr when the exe does not import it.
void* HookImport(const char* dll, const char* function, void* replacement);

// Puts a hook back when the scope ends.
class ImportHook {
public:
    template <typename F>
    ImportHook(const char* dll, const char* function, F* replacement)
        : dll_(dll), function_(function),
          original_(HookImport(dll, function, reinterpret_cast<void*>(replacement))) {}
    ~ImportHook() { if (original_) HookImport(dll_, function_, original_); }
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    template <typename F> F* Original() const { return reinterpret_cast<F*>(original_); }
    bool Installed() const { return original_ != nullptr; }

private:
    const char* dll_;
    const char* function_;
    void* original_;
};

// A fake of a platform call, put into the import table for the scope of its
// object. The calls go to the newest object of a kind (live_); an older one
// gets them back when it ends. Original() is the system's own.
template <typename Self>
class Fake {
public:
    Fake(const Fake&) = delete;
    Fake& operator=(const Fake&) = delete;
    bool Installed() const { return hook_.Installed(); }

protected:
    template <typename F>
    Fake(const char* dll, const char* function, F* fake) : hook_(dll, function, fake), previous_(live_)
    {
        live_ = static_cast<Self*>(this);
    }
    ~Fake() { live_ = previous_; }
    template <typename F> F* Original() const { return hook_.Original<F>(); }

    static Self* live_;

private:
    ImportHook hook_;
    Self* previous_;
};
template <typename Self> Self* Fake<Self>::live_ = nullptr;

// A platform call that goes on to the system: `note` sees each call's
// arguments first; `answer`, where set, answers in the system's place and
// may ask Real() itself. `Tag` tells apart two spies on calls of the same
// type (CreateRectRgn and CreateEllipticRgn).
template <typename F, int Tag = 0>
class Spy;
template <typename R, typename... A, int Tag>
class Spy<R WINAPI(A...), Tag> : public Fake<Spy<R WINAPI(A...), Tag>> {
public:
    Spy(const char* dll, const char* function) : Fake<Spy>(dll, function, &Call) {}
    std::function<void(A...)> note;
    std::function<R(A...)> answer;
    R Real(A... args) const { return this->template Original<R WINAPI(A...)>()(args...); }

private:
    static R WINAPI Call(A... args)
    {
        Spy& self = *Spy::live_;
        if (self.note) self.note(args...);
        return self.answer ? self.answer(args...) : self.Real(args...);
    }
};

// What one fake keeps: every call, in order. `then` runs right after a call
// is kept: to note the program's state at that moment, or to write the
// call into a test's StepLog.
template <typename Call>
struct Calls {
    std::vector<Call> calls;
    std::function<void(const Call&)> then;

    void Keep(const Call& call)
    {
        calls.push_back(call);
        if (then) then(calls.back());
    }
};

// What the program did, step by step, in the order the platform saw it:
// one log for all the fakes of a test. A step is its text, up to four
// numbers of its call, and what the program's records held at that moment.
class StepLog {
public:
    struct Entry {
        std::string what;
        intptr_t a, b, c, d;
        Statistics counters;
        int32_t hit, fallCounter;  // the flight's
        RECT cover;                // the background window's place
    };
    void Add(const std::string& what, intptr_t a = 0, intptr_t b = 0, intptr_t c = 0, intptr_t d = 0);
    // Adds `what` unless it is the last step already.
    void AddOnce(const std::string& what);
    void Clear() { entries.clear(); }
    // The texts, in order, leaving out those that begin with any of `without`.
    std::vector<std::string> Whats(const std::vector<std::string>& without = {}) const;
    // The steps of this text.
    std::vector<Entry> Of(const std::string& what) const;
    // Where the first step of this text (and first number) stands; -1: nowhere.
    int First(const std::string& what) const;
    int First(const std::string& what, intptr_t a) const;
    // Where the last one stands; -1: nowhere.
    int Last(const std::string& what) const;

    std::vector<Entry> entries;
};

}  // namespace test
