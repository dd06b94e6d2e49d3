// The one error type of the fixture builder. Test support fails loudly: a
// fixture that cannot be written would make every later assertion meaningless.
#pragma once

#include <stdexcept>
#include <string>

namespace marlowen::fixture {

class FixtureError : public std::runtime_error {
public:
    explicit FixtureError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace marlowen::fixture
