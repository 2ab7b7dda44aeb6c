#include "commandline.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace vorn {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

bool LooksLikeOption(std::string_view argument)
{
    return StartsWith(argument, "--")
        || (argument.size() > 1 && argument[0] == '-'
            && std::isalpha(static_cast<unsigned char>(argument[1])) != 0);
}

// What CLI11's errors say, in this program's words where they name no option of their own.
std::string Message(const CLI::App* app, const CLI::Error& error)
{
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
        // The first argument left over, in the order given.
        const std::vector<std::string> left = app->remaining(true);
        if (!left.empty()) {
            const std::string& first = left.front();
            if (app->get_subcommands().empty() && !Commands(app).empty()
                && !LooksLikeOption(first)) {
                return "unknown subcommand '" + first + "' (try --help)";
            }
            if (LooksLikeOption(first)) {
                return "unknown option " + first.substr(0, first.find('='));
            }
            return "unexpected argument '" + first + "'";
        }
    }
    return error.what();
}

} // namespace

std::string FailureLine(
    std::string_view program, std::string_view command, std::string_view message)
{
    std::string line(program);
    if (!command.empty()) {
        line += ' ';
        line += command;
    }
    line += ": ";
    for (const char c : message) {
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else {
            line += c;
        }
    }
    return line + '\n';
}

CommandLine::CommandLine(
    const std::string& program, const std::string& version, CommandText text, std::size_t nameWidth)
    : m_help(std::make_shared<HelpFormatter>(nameWidth))
    , m_app(std::make_unique<CLI::App>(std::string(), program))
{
    CLI::App& app = *m_app;
    app.formatter(m_help);
    m_help->SetText(&app, std::move(text));
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_version_flag("--version", program + ' ' + version, "print the version and exit");
    // An option given again: its last value counts.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.failure_message([program](const CLI::App* parsed, const CLI::Error& error) {
        const std::vector<const CLI::App*> commands = parsed->get_subcommands(
            [](const CLI::App* command) { return command->parsed() > 0; });
        return FailureLine(program, commands.empty() ? std::string() : commands.front()->get_name(),
            Message(parsed, error));
    });
    app.preparse_callback([this](std::size_t) { CheckInlineValues(*m_app); });
    app.callback([this] {
        if (!Commands(m_app.get()).empty() && m_app->get_subcommands().empty()) {
            throw CLI::ValidationError("no subcommand given (try --help)");
        }
    });
}

CLI::App* CommandLine::AddCommand(
    const std::string& name, const std::string& summary, CommandText text)
{
    m_app->require_subcommand(0, 1);
    CLI::App* command = m_app->add_subcommand(name, summary);
    m_help->SetText(command, std::move(text));
    command->preparse_callback([this, command](std::size_t) { CheckInlineValues(*command); });
    return command;
}

void CommandLine::CheckInlineValues(const CLI::App& command) const
{
    if (m_pending == nullptr) {
        return;
    }
    // CLI11 reads "--flag=1" as the flag set to 1 (and "--flag=0" as unset), and "--freq= 440"
    // as --freq 440: here a flag takes no value at all, and an empty value after '=' is no value.
    // The arguments still to parse are this command's, up to a command of its own.
    const std::vector<const CLI::App*> commands = Commands(&command);
    for (auto it = m_pending->rbegin(); it != m_pending->rend(); ++it) {
        const std::string& argument = *it;
        const auto names
            = [&argument](const CLI::App* other) { return other->get_name() == argument; };
        if (argument == "--" || std::any_of(commands.begin(), commands.end(), names)) {
            return;
        }
        const std::size_t equals = argument.find('=');
        if (!StartsWith(argument, "--") || equals == std::string::npos) {
            continue;
        }
        const std::string name = argument.substr(0, equals);
        const CLI::Option* option = command.get_option_no_throw(name);
        if (option == nullptr) {
            continue;
        }
        if (option->get_expected_max() == 0) {
            throw CLI::ValidationError(name + " takes no value");
        }
        if (equals + 1 == argument.size()) {
            throw CLI::ValidationError(name + " needs a value after '='");
        }
    }
}

std::string CommandLine::Failure(const CLI::Error& error) const
{
    std::ostringstream out;
    std::ostringstream err;
    m_app->exit(error, out, err);
    return err.str();
}

void CommandLine::SetExamples(const CLI::App* command, std::vector<Example> examples)
{
    m_help->SetExamples(command, std::move(examples));
}

CommandLineResult CommandLine::Parse(const std::vector<std::string>& arguments)
{
    std::vector<std::string> pending(arguments.rbegin(), arguments.rend());
    m_pending = &pending;
    CommandLineResult result;
    try {
        m_app->parse(pending);
    } catch (const CLI::CallForHelp&) {
        result = { CommandLineResult::Action::Print, m_app->help(), 0 };
    } catch (const CLI::CallForVersion& version) {
        result = { CommandLineResult::Action::Print, std::string(version.what()) + '\n', 0 };
    } catch (const CLI::ParseError& error) {
        result = { CommandLineResult::Action::Refuse, Failure(error), 2 };
    } catch (const std::invalid_argument& error) {
        // A value or a combination refused by the commands' own checks.
        result
            = { CommandLineResult::Action::Refuse, Failure(CLI::ValidationError(error.what())), 2 };
    }
    m_pending = nullptr;
    return result;
}

} // namespace vorn
