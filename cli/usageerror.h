#pragma once

#include <stdexcept>

namespace vorn {

// Bad input on a command line: the message names the option or the problem. The tools print it
// on one line and exit with status 2, as for every std::invalid_argument (a file or format that
// cannot be used, from the sound-file layer; a design that cannot be made, from design/).
class UsageError : public std::invalid_argument
{
public:
    using std::invalid_argument::invalid_argument;
};

} // namespace vorn
