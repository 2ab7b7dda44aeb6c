#pragma once

// How a fuzz target reports a broken invariant: a line on standard error naming it, then abort(),
// which libFuzzer and the replay both count as a failure (libFuzzer keeps the input).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace vorn::fuzz {

inline void Check(bool condition, const char* invariant)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", invariant);
        std::abort();
    }
}

// The bytes of a command line target as an argument vector: split at each NUL byte; no bytes,
// no arguments.
inline std::vector<std::string> Arguments(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> arguments;
    if (size == 0) {
        return arguments;
    }
    arguments.emplace_back();
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            arguments.emplace_back();
        } else {
            arguments.back() += static_cast<char>(data[i]);
        }
    }
    return arguments;
}

// What a command line parser gave, when it is not something to run: help or the version
// (status 0, some text), or a refusal (status 2, one line that names the program first).
// Returns whether it is something to run, for the target to check further.
template <typename Result> bool CheckTextOrRefusal(const Result& result, const std::string& program)
{
    using Action = typename Result::Action;
    if (result.action == Action::Print) {
        Check(result.status == 0, "help and version end with status 0");
        Check(!result.text.empty(), "help and version print something");
    } else if (result.action == Action::Refuse) {
        Check(result.status == 2, "a refusal ends with status 2");
        Check(result.text.rfind(program, 0) == 0, "a refusal names the program first");
        Check(!result.text.empty() && result.text.back() == '\n', "a refusal is a line");
        Check(result.text.find('\n') == result.text.size() - 1, "a refusal is one line");
    }
    return result.action == Action::Run;
}

} // namespace vorn::fuzz
