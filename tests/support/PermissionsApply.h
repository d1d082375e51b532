#pragma once
// While one lives, file permissions bind this thread even when the tests run as root,
// whose power to override them would otherwise write through a read-only folder. Lets
// a test make a folder or file read-only to the code it tests.

namespace testing_support {

class PermissionsApply {
public:
    PermissionsApply();
    ~PermissionsApply();
    PermissionsApply(const PermissionsApply&) = delete;
    PermissionsApply& operator=(const PermissionsApply&) = delete;

private:
    unsigned m_savedEffective = 0;
    bool m_changed = false;
};

} // namespace testing_support
