#include "manualpage.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <stdexcept>
#include <vector>

namespace vorn {

namespace {

bool IsWordCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

std::string Escaped(std::string_view text)
{
    std::string roff;
    for (const char c : text) {
        if (c == '\\') {
            roff += "\\e";
        } else if (c == '-') {
            roff += "\\-";
        } else {
            roff += c;
        }
    }
    return roff;
}

// A line of text that roff would take for a request (a leading '.' or ') starts with \&.
std::string TextLine(std::string roff)
{
    if (!roff.empty() && (roff.front() == '.' || roff.front() == '\'')) {
        roff.insert(0, "\\&");
    }
    return roff + '\n';
}

std::string Bold(std::string_view text)
{
    return "\\fB" + Escaped(text) + "\\fR";
}

std::string Italic(std::string_view text)
{
    return "\\fI" + Escaped(text) + "\\fR";
}

// Paragraphs as roff: the first as it is, the others after `separator` (.PP, or .IP inside a
// tagged paragraph).
std::string RoffParagraphs(std::string_view text, const char* separator)
{
    std::string roff;
    for (const std::string& paragraph : Paragraphs(text)) {
        roff += roff.empty() ? "" : separator;
        roff += TextLine(RoffText(paragraph, false));
    }
    return roff;
}

// The tag of an option: its names in bold, then its value: literal choices in bold, named
// values ("HZ") in italics.
std::string OptionTag(const CLI::Option* option)
{
    std::string tag;
    const std::string names = OptionNames(option);
    if (option->nonpositional()) {
        std::size_t start = 0;
        while (start < names.size()) {
            const std::size_t end = std::min(names.find(", ", start), names.size());
            tag += (start == 0 ? "" : ", ") + Bold(names.substr(start, end - start));
            start = end + 2;
        }
    } else {
        tag = Italic(names);
    }
    const std::string value = OptionValue(option);
    for (std::size_t start = 0; start < value.size();) {
        const std::size_t end = std::min(value.find('|', start), value.size());
        const std::string part = value.substr(start, end - start);
        tag += start == 0 ? " " : "|";
        tag += !part.empty() && std::isupper(static_cast<unsigned char>(part.front())) != 0
            ? Italic(part)
            : Bold(part);
        start = end + 1;
    }
    return tag;
}

std::string OptionEntry(const CLI::Option* option)
{
    return ".TP\n" + TextLine(OptionTag(option)) + TextLine(RoffText(OptionHelp(option), false));
}

} // namespace

std::string RoffText(std::string_view text, bool placeholders)
{
    std::string roff;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool wordStart = i == 0 || !IsWordCharacter(text[i - 1]);
        const char c = text[i];
        std::size_t end = i;
        if (wordStart && text.substr(i, 2) == "--" && i + 2 < text.size()
            && std::islower(static_cast<unsigned char>(text[i + 2])) != 0) {
            end = i + 2;
            while (end < text.size() && (IsWordCharacter(text[end]) || text[end] == '-')) {
                ++end;
            }
            roff += Bold(text.substr(i, end - i));
        } else if (wordStart && placeholders && std::isupper(static_cast<unsigned char>(c)) != 0) {
            while (end < text.size() && (IsWordCharacter(text[end]) || text[end] == '.')) {
                ++end;
            }
            roff += Italic(text.substr(i, end - i));
        } else {
            end = i + 1;
            roff += Escaped(text.substr(i, 1));
            // Long runs of values ("hz,db,phase_deg,...", "pcm16|pcm24|...") may break after
            // their separators, since the page is not hyphenated.
            if ((c == ',' || c == '|') && end < text.size() && text[end] != ' ') {
                roff += "\\:";
            }
        }
        i = end;
    }
    return roff;
}

std::string ManualSections(const CLI::App& program, const HelpFormatter& help)
{
    // No hyphenation: the synopsis, option names and literal values must stay whole.
    std::string roff = ".nh\n.SH SYNOPSIS\n";
    bool first = true;
    for (const SynopsisLine& line : help.Synopsis(&program)) {
        roff += first ? "" : ".br\n";
        roff += ".B " + Escaped(line.command) + '\n';
        if (!line.arguments.empty()) {
            roff += TextLine(RoffText(line.arguments, true));
        }
        first = false;
    }

    const std::string purpose = help.Purpose(&program);
    roff += ".SH DESCRIPTION\n";
    if (!purpose.empty()) {
        roff += RoffParagraphs(purpose, ".PP\n") + ".PP\n";
    }
    roff += RoffParagraphs(help.Text(&program).details, ".PP\n");
    const std::vector<const CLI::App*> commands = Commands(&program);
    for (const CLI::App* command : commands) {
        const std::string details = help.Text(command).details;
        roff += ".TP\n.B " + Escaped(command->get_name()) + '\n'
            + RoffParagraphs(details.empty() ? command->get_description() : details, ".IP\n");
    }

    roff += ".SH OPTIONS\n";
    for (const OptionGroup& group : OptionGroups(&program)) {
        for (const CLI::Option* option : group.options) {
            roff += OptionEntry(option);
        }
    }
    // The groups with a note, once each, after the commands: the commands that have them.
    std::vector<std::string> shared;
    std::map<std::string, std::vector<const CLI::App*>> sharedBy;
    for (const CLI::App* command : commands) {
        std::string own;
        for (const CLI::Option* argument : command->get_options(
                 [](const CLI::Option* option) { return !option->nonpositional(); })) {
            own += OptionEntry(argument);
        }
        for (const OptionGroup& group : OptionGroups(command)) {
            if (!help.GroupNote(group.name).empty()) {
                if (sharedBy[group.name].empty()) {
                    shared.push_back(group.name);
                }
                sharedBy[group.name].push_back(command);
                continue;
            }
            for (const CLI::Option* option : group.options) {
                if (option != command->get_help_ptr()) {
                    own += OptionEntry(option);
                }
            }
        }
        if (!own.empty()) {
            roff += ".SS " + Escaped(command->get_name()) + '\n' + own;
        }
    }
    for (const std::string& name : shared) {
        const std::vector<const CLI::App*>& owners = sharedBy[name];
        std::string which;
        for (std::size_t i = 0; i < owners.size(); ++i) {
            which += i == 0 ? "" : i + 1 == owners.size() ? " and " : ", ";
            which += owners[i]->get_name();
        }
        roff += ".SS \"" + Escaped(name) + "\"\n"
            + TextLine(RoffText("For " + which + ". " + help.GroupNote(name), false));
        for (const OptionGroup& group : OptionGroups(owners.front())) {
            if (group.name == name) {
                for (const CLI::Option* option : group.options) {
                    roff += OptionEntry(option);
                }
            }
        }
    }
    return roff;
}

std::string FillManualPage(
    const std::string& page, std::string_view marker, const std::string& sections)
{
    std::size_t start = 0;
    while (start < page.size()) {
        const std::size_t end = std::min(page.find('\n', start), page.size());
        if (std::string_view(page).substr(start, end - start) == marker) {
            return page.substr(0, start) + sections + page.substr(std::min(end + 1, page.size()));
        }
        start = end + 1;
    }
    throw std::runtime_error("the manual page has no line '" + std::string(marker) + "'");
}

std::string ManualExamples(const CLI::App& program, const HelpFormatter& help)
{
    std::string roff = ".SH EXAMPLES\n";
    const auto add = [&roff, &help](const CLI::App* app) {
        for (const Example& example : help.Examples(app)) {
            std::string what = example.what;
            what.front()
                = static_cast<char>(std::toupper(static_cast<unsigned char>(what.front())));
            roff += TextLine(Escaped(what) + ':') + ".PP\n.RS\n.EX\n"
                + TextLine("$ " + Escaped(example.command)) + ".EE\n.RE\n.PP\n";
        }
    };
    add(&program);
    for (const CLI::App* command : Commands(&program)) {
        add(command);
    }
    return roff;
}

} // namespace vorn
