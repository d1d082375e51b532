#include "tests/support/PermissionsApply.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace testing_support {

namespace {
// The overrides root holds over read, write and search permissions.
constexpr unsigned kOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool capabilities(__user_cap_data_struct (&data)[_LINUX_CAPABILITY_U32S_3], bool set)
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
}
} // namespace

PermissionsApply::PermissionsApply()
{
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (!capabilities(data, false) || !(data[0].effective & kOverrides))
        return;
    m_savedEffective = data[0].effective;
    data[0].effective &= ~kOverrides;
    m_changed = capabilities(data, true);
}

PermissionsApply::~PermissionsApply()
{
    if (!m_changed)
        return;
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (capabilities(data, false)) {
        data[0].effective = m_savedEffective;
        capabilities(data, true);
    }
}

} // namespace testing_support
