// The name of each case of a parameterised test: its table row's own `name`,
// so that a failure says which row it was.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace ta::testsupport {

struct CaseName {
    template <class Case>
    std::string operator()(const testing::TestParamInfo<Case>& testCase) const
    {
        return std::string(testCase.param.name);
    }
};

} // namespace ta::testsupport
