#pragma once

#include <stdexcept>
#include <string>

namespace somnara {

// A failure of the dream store, worded for the user. It travels as an exception up to the
// handler that started the work, which shows it in the error box.
class StoreError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

} // namespace somnara
