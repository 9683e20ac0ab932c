#include "framework/plugin.h"

#include <new>

namespace zem {

AEffect* newHostRecord() noexcept { return new (std::nothrow) AEffect{}; }

void deleteHostRecord(AEffect* record) noexcept { delete record; }

} // namespace zem
