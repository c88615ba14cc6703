#pragma once

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

// The test failures `call` reported on this thread, kept from the running test: none, or their messages.
inline std::vector<std::string> reportsOf(void (*call)()) {
    testing::TestPartResultArray reports;
    {
        const testing::ScopedFakeTestPartResultReporter intercept(
            testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &reports);
        call();
    }
    std::vector<std::string> messages;
    for (int i = 0; i < reports.size(); ++i)
        messages.emplace_back(reports.GetTestPartResult(i).message());
    return messages;
}
