#include "bashcompletion.h"

#include "helpformatter.h"

#include <cctype>
#include <string_view>
#include <vector>

namespace vorn {

namespace {

// What an option's value is, by the name the help gives it.
struct ValueKind
{
    bool takesValue = false;
    bool file = false; // a file name: FILE, FILE.png|FILE.svg, IN, OUT, SOURCE ...
    std::vector<std::string> words; // the literal words it may be
};

bool IsLiteral(std::string_view word)
{
    for (const char c : word) {
        if (std::isupper(static_cast<unsigned char>(c)) != 0) {
            return false;
        }
    }
    return !word.empty();
}

ValueKind KindOf(const CLI::Option* option)
{
    ValueKind kind;
    const std::string value = option->nonpositional() ? OptionValue(option) : option->get_name();
    if (value.empty()) {
        return kind;
    }
    kind.takesValue = true;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t bar = value.find('|', start);
        const std::string word
            = value.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        if (IsLiteral(word)) {
            kind.words.push_back(word);
        } else if (word.find("FILE") != std::string::npos || word == "IN" || word == "OUT") {
            kind.file = true;
        }
        if (bar == std::string::npos) {
            break;
        }
        start = bar + 1;
    }
    return kind;
}

std::string Joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

// The function's name: "_vorn_render" for vorn-render.
std::string FunctionName(const std::string& program)
{
    std::string name = "_";
    for (const char c : program) {
        name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    return name;
}

// The case arms of one command (or of a program without commands): what follows each option
// that takes a value, then the options themselves, then its arguments.
std::string CommandArms(const CLI::App* app, const std::string& indent)
{
    std::string arms = indent + "case $option in\n";
    std::vector<std::string> names;
    bool positionalFile = false;
    bool positionalWords = false;
    std::vector<std::string> positionalChoices;
    for (const CLI::Option* option : app->get_options()) {
        const ValueKind kind = KindOf(option);
        if (!option->nonpositional()) {
            positionalFile = positionalFile || kind.file;
            positionalWords = true;
            for (const std::string& word : kind.words) {
                positionalChoices.push_back(word);
            }
            continue;
        }
        for (const std::string& name : option->get_lnames()) {
            names.push_back("--" + name);
        }
        for (const std::string& name : option->get_snames()) {
            names.push_back("-" + name);
        }
        if (!kind.takesValue) {
            continue;
        }
        std::string pattern;
        for (const std::string& name : option->get_lnames()) {
            pattern += (pattern.empty() ? "" : "|") + ("--" + name);
        }
        arms += indent + "    " + pattern + ")\n";
        if (!kind.words.empty()) {
            arms += indent + "        _vorn_words \"" + Joined(kind.words) + "\"\n";
        }
        if (kind.file) {
            arms += indent + "        _vorn_files\n";
        }
        arms += indent + "        return ;;\n";
    }
    arms += indent + "esac\n";
    arms += indent + "if [[ $cur == -* ]]; then\n" + indent + "    _vorn_words \"" + Joined(names)
        + "\"\n" + indent + "    return\n" + indent + "fi\n";
    if (positionalWords) {
        if (!positionalChoices.empty()) {
            arms += indent + "_vorn_words \"" + Joined(positionalChoices) + "\"\n";
        }
        if (positionalFile) {
            arms += indent + "_vorn_files\n";
        }
    }
    return arms;
}

} // namespace

std::string BashCompletion(const CLI::App& program)
{
    const std::string name = program.get_name();
    const std::string function = FunctionName(name);
    const std::vector<const CLI::App*> commands = Commands(&program);
    std::string script = "# bash completion for " + name
        + ", made from its command line when it was built\n"
          "_vorn_words()\n{\n"
          "    local IFS=$'\\n'\n"
          "    COMPREPLY+=($(compgen -W \"${1// /$'\\n'}\" -- \"$cur\"))\n"
          "}\n"
          "_vorn_files()\n{\n"
          "    local IFS=$'\\n'\n"
          "    compopt -o filenames 2>/dev/null\n"
          "    COMPREPLY+=($(compgen -f -- \"$cur\"))\n"
          "}\n"
        + function
        + "()\n{\n"
          "    local cur=${COMP_WORDS[COMP_CWORD]} option=${COMP_WORDS[COMP_CWORD-1]}\n"
          "    local command=\"\" i\n"
          "    COMPREPLY=()\n"
          "    # --option=value: the value after the '=' that bash splits off.\n"
          "    if [[ $cur == = ]]; then\n"
          "        cur=\"\"\n"
          "    elif [[ $option == = ]]; then\n"
          "        option=${COMP_WORDS[COMP_CWORD-2]}\n"
          "    elif [[ $cur == --*=* ]]; then\n"
          "        option=${cur%%=*}\n"
          "        cur=${cur#*=}\n"
          "    fi\n";
    if (commands.empty()) {
        script += CommandArms(&program, "    ");
    } else {
        std::vector<std::string> names;
        for (const CLI::App* command : commands) {
            names.push_back(command->get_name());
        }
        script += "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
                  "        case ${COMP_WORDS[i]} in\n"
                  "            -*) ;;\n"
                  "            *) command=${COMP_WORDS[i]}; break ;;\n"
                  "        esac\n"
                  "    done\n"
                  "    case $command in\n"
                  "        \"\")\n"
                  "            _vorn_words \""
            + Joined(names) + " --help --version\"\n            return ;;\n";
        for (const CLI::App* command : commands) {
            script += "        " + command->get_name() + ")\n"
                + CommandArms(command, "            ") + "            ;;\n";
        }
        script += "    esac\n";
    }
    script += "}\ncomplete -F " + function + ' ' + name + '\n';
    return script;
}

} // namespace vorn
