#pragma once
// Platform calls of the driver that a test can make fail. The test program exports its own definitions
// of these calls, and the driver's imports bind to the program's exports before the platform's; every
// call that is not made to fail goes on to the platform.

#include <string>
#include <vector>

#include "kernel/Kernel.h"

namespace drivertest {

// While it lives, RegSetValueExW of the value of that name fails with ERROR_ACCESS_DENIED.
class ValueWriteFailure {
public:
    explicit ValueWriteFailure(std::u16string valueName);
    ~ValueWriteFailure();
    ValueWriteFailure(const ValueWriteFailure&) = delete;
    ValueWriteFailure& operator=(const ValueWriteFailure&) = delete;
};

// While it lives, FlushViewOfFile fails with ERROR_WRITE_FAULT. It records the length of every flush asked
// for and the file mappings made meanwhile.
class ViewFlushFailure {
public:
    ViewFlushFailure();
    ~ViewFlushFailure();
    ViewFlushFailure(const ViewFlushFailure&) = delete;
    ViewFlushFailure& operator=(const ViewFlushFailure&) = delete;

    std::vector<SIZE_T> FlushLengths() const;
    std::vector<HANDLE> Mappings() const;
};

} // namespace drivertest
