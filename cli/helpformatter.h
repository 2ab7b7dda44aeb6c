#pragma once

#include <CLI/CLI.hpp>

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

// What the help and the manual page say about a program or one of its commands besides its
// options. The texts are unwrapped: the help fills them to its width, the manual page leaves that
// to the formatter.
struct CommandText
{
    // The forms of the arguments after the command's name, one per entry:
    // "[--input sine|step] [--freq HZ]", "--input sweep [--from HZ] [--to HZ]".
    std::vector<std::string> synopsis;
    // Paragraphs, '\n' apart.
    std::string details;
};

// A command line to paste, and what it does: a program's help gives its examples after what the
// program is for, a command's after its options.
struct Example
{
    std::string command; // "vorn-render filter song.flac - | aplay"
    std::string what; // "hear a file through the filter"
};

// One line of a synopsis: "vorn-render samples" and its arguments.
struct SynopsisLine
{
    std::string command;
    std::string arguments;
};

// The help of the tools' command lines, filled to 100 columns. A program's: what it is for, the
// examples, the commands one line each, the synopsis, the details and its options. A command's:
// the synopsis, the details, the options group by group, the examples. The manual page is made
// from the same texts (ManualSections, ManualExamples).
class HelpFormatter : public CLI::Formatter
{
public:
    static constexpr std::size_t kWidth = 100;
    // Where the options' help starts.
    static constexpr std::size_t kOptionColumn = 24;

    // The synopsis pads the commands' names to `nameWidth`, so that their arguments line up.
    explicit HelpFormatter(std::size_t nameWidth = 0);

    void SetText(const CLI::App* app, CommandText text);
    [[nodiscard]] const CommandText& Text(const CLI::App* app) const;
    // A program's purpose, the first thing its help says (paragraphs, '\n' apart).
    void SetPurpose(const CLI::App* app, std::string purpose);
    [[nodiscard]] std::string Purpose(const CLI::App* app) const;
    void SetExamples(const CLI::App* app, std::vector<Example> examples);
    [[nodiscard]] const std::vector<Example>& Examples(const CLI::App* app) const;
    // A paragraph under a group's heading, in every command that has the group.
    void SetGroupNote(const std::string& group, std::string note);
    [[nodiscard]] std::string GroupNote(const std::string& group) const;

    // A command's synopsis; a program's has its commands' lines first, then its own.
    [[nodiscard]] std::vector<SynopsisLine> Synopsis(const CLI::App* app) const;

    std::string make_help(
        const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;

    // The words of `text` filled into lines of at most kWidth columns: the first line goes on
    // after `first` columns already written, the others start after `indent` blanks.
    [[nodiscard]] static std::string Fill(
        const std::vector<std::string>& words, std::size_t first, std::size_t indent);
    // Split at blanks; in a synopsis, a bracketed group ("[--freq HZ]") stays one word.
    [[nodiscard]] static std::vector<std::string> Words(std::string_view text, bool synopsis);

private:
    [[nodiscard]] std::string UsageBlock(const CLI::App* app) const;
    [[nodiscard]] std::string ExamplesBlock(const CLI::App* app) const;
    [[nodiscard]] std::string OptionLine(const CLI::Option* option) const;

    std::size_t m_nameWidth;
    std::map<const CLI::App*, CommandText> m_texts;
    std::map<const CLI::App*, std::string> m_purposes;
    std::map<const CLI::App*, std::vector<Example>> m_examples;
    std::map<std::string, std::string> m_groupNotes;
};

// The paragraphs of a text, '\n' apart; empty ones left out.
[[nodiscard]] std::vector<std::string> Paragraphs(std::string_view text);

// The option groups of a command in the order its help shows them: CLI11's default group
// ("Options") first, with the help flag last, then the others as they were declared; the
// arguments (positionals) are left out.
struct OptionGroup
{
    std::string name;
    std::vector<const CLI::Option*> options;
};
[[nodiscard]] std::vector<OptionGroup> OptionGroups(const CLI::App* app);
// "-h, --help", "--freq", "IN".
[[nodiscard]] std::string OptionNames(const CLI::Option* option);
// The option's help, with "(required)" after it when it must be given.
[[nodiscard]] std::string OptionHelp(const CLI::Option* option);
// What the option's value is called in the help ("HZ", "text|csv"); empty for a flag.
[[nodiscard]] std::string OptionValue(const CLI::Option* option);
// The commands of a program, in the order they were added.
[[nodiscard]] std::vector<const CLI::App*> Commands(const CLI::App* app);

} // namespace vorn
