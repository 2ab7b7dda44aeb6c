#include "helpformatter.h"

#include <algorithm>
#include <utility>

namespace vorn {

namespace {

const CommandText kNoText;
const std::vector<Example> kNoExamples;

std::string Blanks(std::size_t count)
{
    return std::string(count, ' ');
}

std::string Padded(std::string text, std::size_t width)
{
    text.resize(std::max(width, text.size()), ' ');
    return text;
}

// "vorn-render", "vorn-render samples".
std::string FullName(const CLI::App* app)
{
    const CLI::App* parent = app->get_parent();
    return parent == nullptr ? app->get_name() : FullName(parent) + ' ' + app->get_name();
}

const CLI::App* Root(const CLI::App* app)
{
    while (app->get_parent() != nullptr) {
        app = app->get_parent();
    }
    return app;
}

// The commands one line each, their summaries lined up.
std::string CommandList(const std::vector<const CLI::App*>& commands)
{
    std::size_t width = 0;
    for (const CLI::App* command : commands) {
        width = std::max(width, command->get_name().size());
    }
    std::string text = "commands:\n";
    for (const CLI::App* command : commands) {
        text += "  " + Padded(command->get_name(), width + 2)
            + HelpFormatter::Fill(
                HelpFormatter::Words(command->get_description(), false), width + 4, width + 4)
            + '\n';
    }
    return text;
}

} // namespace

HelpFormatter::HelpFormatter(std::size_t nameWidth)
    : m_nameWidth(nameWidth)
{ }

void HelpFormatter::SetText(const CLI::App* app, CommandText text)
{
    m_texts[app] = std::move(text);
}

const CommandText& HelpFormatter::Text(const CLI::App* app) const
{
    const auto it = m_texts.find(app);
    return it == m_texts.end() ? kNoText : it->second;
}

void HelpFormatter::SetPurpose(const CLI::App* app, std::string purpose)
{
    m_purposes[app] = std::move(purpose);
}

std::string HelpFormatter::Purpose(const CLI::App* app) const
{
    const auto it = m_purposes.find(app);
    return it == m_purposes.end() ? std::string() : it->second;
}

void HelpFormatter::SetExamples(const CLI::App* app, std::vector<Example> examples)
{
    m_examples[app] = std::move(examples);
}

const std::vector<Example>& HelpFormatter::Examples(const CLI::App* app) const
{
    const auto it = m_examples.find(app);
    return it == m_examples.end() ? kNoExamples : it->second;
}

void HelpFormatter::SetGroupNote(const std::string& group, std::string note)
{
    m_groupNotes[group] = std::move(note);
}

std::string HelpFormatter::GroupNote(const std::string& group) const
{
    const auto it = m_groupNotes.find(group);
    return it == m_groupNotes.end() ? std::string() : it->second;
}

std::vector<SynopsisLine> HelpFormatter::Synopsis(const CLI::App* app) const
{
    std::vector<SynopsisLine> lines;
    const auto add = [&lines](SynopsisLine line) {
        const auto same = [&line](const SynopsisLine& other) {
            return other.command == line.command && other.arguments == line.arguments;
        };
        if (std::none_of(lines.begin(), lines.end(), same)) {
            lines.push_back(std::move(line));
        }
    };
    const std::string name = FullName(app);
    for (const CLI::App* command : Commands(app)) {
        for (const std::string& arguments : Text(command).synopsis) {
            add({ name + ' ' + command->get_name(), arguments });
        }
    }
    for (const std::string& arguments : Text(app).synopsis) {
        add({ name, arguments });
    }
    return lines;
}

std::string HelpFormatter::UsageBlock(const CLI::App* app) const
{
    const std::string program = Root(app)->get_name();
    const bool commands = !Commands(Root(app)).empty();
    // Continued lines start where the arguments of a command start.
    const std::size_t indent = 2 + program.size() + 1 + (commands ? m_nameWidth + 1 : 0);
    std::string text = "usage:\n";
    for (const SynopsisLine& line : Synopsis(app)) {
        std::string prefix = "  " + program + ' ';
        if (line.command.size() > program.size()) {
            prefix += Padded(line.command.substr(program.size() + 1), m_nameWidth) + ' ';
        }
        std::string lines = prefix + Fill(Words(line.arguments, true), prefix.size(), indent);
        lines.erase(lines.find_last_not_of(' ') + 1);
        text += lines + '\n';
    }
    return text;
}

std::string HelpFormatter::OptionLine(const CLI::Option* option) const
{
    const std::string value = OptionValue(option);
    const std::string names = "  " + OptionNames(option) + (value.empty() ? "" : " " + value);
    const std::string start = names.size() + 1 < kOptionColumn
        ? Padded(names, kOptionColumn)
        : names + '\n' + Blanks(kOptionColumn);
    return start + Fill(Words(OptionHelp(option), false), kOptionColumn, kOptionColumn) + '\n';
}

// Each example as a comment saying what it does, then the line to paste.
std::string HelpFormatter::ExamplesBlock(const CLI::App* app) const
{
    if (Examples(app).empty()) {
        return {};
    }
    std::string block = "examples:\n";
    for (const Example& example : Examples(app)) {
        block += "  # " + Fill(Words(example.what, false), 4, 4) + "\n  " + example.command + '\n';
    }
    return block + '\n';
}

std::string HelpFormatter::make_help(
    const CLI::App* app, std::string /*name*/, CLI::AppFormatMode /*mode*/) const
{
    const CommandText& own = Text(app);
    const std::vector<const CLI::App*> commands = Commands(app);
    std::string text;
    for (const std::string& paragraph : Paragraphs(Purpose(app))) {
        text += Fill(Words(paragraph, false), 0, 0) + "\n\n";
    }
    // A program's help opens with its purpose, its examples and its commands; the reference
    // follows.
    if (!commands.empty()) {
        text += ExamplesBlock(app);
        text += CommandList(commands) + '\n';
    }
    text += UsageBlock(app) + '\n';
    for (const std::string& paragraph : Paragraphs(own.details)) {
        text += Fill(Words(paragraph, false), 0, 0) + "\n\n";
    }

    const std::vector<const CLI::Option*> arguments
        = app->get_options([](const CLI::Option* option) { return !option->nonpositional(); });
    if (!arguments.empty()) {
        text += "arguments:\n";
        for (const CLI::Option* argument : arguments) {
            text += OptionLine(argument);
        }
        text += '\n';
    }
    for (const OptionGroup& group : OptionGroups(app)) {
        text += (group.name == "Options" ? std::string("options") : group.name) + ":\n";
        const std::string note = GroupNote(group.name);
        if (!note.empty()) {
            text += "  " + Fill(Words(note, false), 2, 2) + '\n';
        }
        for (const CLI::Option* option : group.options) {
            text += OptionLine(option);
        }
        text += '\n';
    }
    if (commands.empty()) {
        text += ExamplesBlock(app);
    }
    text.pop_back();
    return text;
}

std::string HelpFormatter::Fill(
    const std::vector<std::string>& words, std::size_t first, std::size_t indent)
{
    std::string text;
    std::size_t column = first;
    bool lineStart = true;
    for (const std::string& word : words) {
        if (!lineStart && column + 1 + word.size() > kWidth) {
            text += '\n' + Blanks(indent);
            column = indent;
            lineStart = true;
        }
        if (!lineStart) {
            text += ' ';
            ++column;
        }
        text += word;
        column += word.size();
        lineStart = false;
    }
    return text;
}

std::vector<std::string> HelpFormatter::Words(std::string_view text, bool synopsis)
{
    std::vector<std::string> words;
    std::string word;
    int depth = 0;
    for (const char c : text) {
        if (synopsis && c == '[') {
            ++depth;
        } else if (synopsis && c == ']') {
            depth = std::max(depth - 1, 0);
        }
        if (c == ' ' && depth == 0) {
            if (!word.empty()) {
                words.push_back(std::move(word));
                word.clear();
            }
        } else {
            word += c;
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

std::vector<std::string> Paragraphs(std::string_view text)
{
    std::vector<std::string> paragraphs;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        if (end > 0) {
            paragraphs.emplace_back(text.substr(0, end));
        }
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return paragraphs;
}

std::vector<OptionGroup> OptionGroups(const CLI::App* app)
{
    std::vector<OptionGroup> groups { { "Options", {} } };
    const CLI::Option* help = app->get_help_ptr();
    for (const CLI::Option* option : app->get_options()) {
        if (!option->nonpositional() || option->get_group().empty() || option == help) {
            continue;
        }
        auto group = std::find_if(groups.begin(), groups.end(),
            [option](const OptionGroup& g) { return g.name == option->get_group(); });
        if (group == groups.end()) {
            group = groups.insert(groups.end(), { option->get_group(), {} });
        }
        group->options.push_back(option);
    }
    if (help != nullptr) {
        groups.front().options.push_back(help);
    }
    std::erase_if(groups, [](const OptionGroup& group) { return group.options.empty(); });
    return groups;
}

std::string OptionNames(const CLI::Option* option)
{
    std::string names;
    for (const std::string& name : option->get_snames()) {
        names += (names.empty() ? "-" : ", -") + name;
    }
    for (const std::string& name : option->get_lnames()) {
        names += (names.empty() ? "--" : ", --") + name;
    }
    return names.empty() ? option->get_name() : names;
}

std::string OptionHelp(const CLI::Option* option)
{
    return option->get_description() + (option->get_required() ? " (required)" : "");
}

std::string OptionValue(const CLI::Option* option)
{
    if (!option->nonpositional() || option->get_type_size() == 0) {
        return {};
    }
    return option->get_type_name();
}

std::vector<const CLI::App*> Commands(const CLI::App* app)
{
    return app->get_subcommands([](const CLI::App*) { return true; });
}

} // namespace vorn
