#include "renderargs.h"

#include "atomicfile.h"
#include "numbertext.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace vorn {

RenderArgs::RenderArgs(const std::vector<std::string>& args,
    const std::set<std::string>& valueOptions, const std::set<std::string>& flagOptions)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0 || arg.size() == 2) {
            throw UsageError("unexpected argument '" + arg + "'");
        }
        std::string name = arg.substr(2);
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (flagOptions.contains(name)) {
            if (inlineValue) {
                throw UsageError("option --" + name + " takes no value");
            }
            m_flags.insert(name);
        } else if (valueOptions.contains(name)) {
            if (inlineValue) {
                m_values[name].push_back(*inlineValue);
            } else if (i + 1 < args.size()) {
                m_values[name].push_back(args[++i]);
            } else {
                throw UsageError("option --" + name + " needs a value");
            }
        } else {
            throw UsageError("unknown option --" + name);
        }
    }
}

bool RenderArgs::Has(const std::string& name) const
{
    return m_flags.contains(name) || m_values.contains(name);
}

std::optional<std::string> RenderArgs::Value(const std::string& name) const
{
    const auto it = m_values.find(name);
    if (it == m_values.end()) {
        return std::nullopt;
    }
    return it->second.back();
}

std::vector<std::string> RenderArgs::Values(const std::string& name) const
{
    const auto it = m_values.find(name);
    return it == m_values.end() ? std::vector<std::string> {} : it->second;
}

int RenderArgs::Input() const
{
    const std::string input = Value("input").value_or("sine");
    if (input == "sine") {
        return 0;
    }
    if (input == "step") {
        return 1;
    }
    throw UsageError("--input must be 'sine' or 'step', not '" + input + "'");
}

double RenderArgs::Frequency() const
{
    const auto text = Value("freq");
    if (!text) {
        return 1000.0;
    }
    const auto value = ParseFiniteDecimal(*text);
    if (!value) {
        throw UsageError("--freq must be a finite decimal number, not '" + *text + "'");
    }
    return *value;
}

long long RenderArgs::Count(const std::string& name, long long fallback, long long maximum) const
{
    const auto text = Value(name);
    if (!text) {
        return fallback;
    }
    long long value = 0;
    const char* first = text->data();
    const char* last = first + text->size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (text->empty() || error != std::errc {} || end != last || value < 0 || value > maximum) {
        throw UsageError("--" + name + " must be a whole number from 0 to "
            + std::to_string(maximum) + ", not '" + *text + "'");
    }
    return value;
}

std::string RenderArgs::Required(const std::string& name) const
{
    const auto value = Value(name);
    if (!value || value->empty()) {
        throw UsageError("option --" + name + " is required");
    }
    return *value;
}

double RenderArgs::Rate() const
{
    const auto text = Value("rate");
    if (!text) {
        return 44100.0;
    }
    const auto rate = ParseFiniteDecimal(*text);
    if (!rate) {
        throw UsageError("--rate must be a finite decimal number, not '" + *text + "'");
    }
    if (!(*rate >= 1000.0 && *rate <= 10'000'000.0)) {
        throw UsageError("--rate must lie from 1000 to 10000000 Hz, not " + FormatDouble15g(*rate));
    }
    return *rate;
}

void WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    AtomicFile file(path);
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n
            = ::write(file.Descriptor(), bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            const int error = errno;
            if (error == EINTR) {
                continue;
            }
            throw UsageError("cannot write '" + path + "': " + std::strerror(error));
        }
        written += static_cast<std::size_t>(n);
    }
    file.Commit();
}

} // namespace vorn
