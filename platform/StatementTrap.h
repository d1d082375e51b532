#pragma once
// What runs a procedure's numbered statements, seen from a layer below the windows: a
// step list written there (the data folder's making, say) runs under its caller's trap
// without knowing how a failure is reported. The windows' one is shell::ErrorTrap.

#include <functional>

namespace platform {

class StatementTrap {
public:
    // Runs statement `line`; false when it failed (and the failure was reported).
    virtual bool run(int line, const std::function<void()>& statement) = 0;
    // The test of a conditional: its value, or true when evaluating it failed.
    virtual bool test(int line, const std::function<bool()>& condition) = 0;

protected:
    ~StatementTrap() = default;
};

} // namespace platform
