// vorn-render coefficients: the chain as the program runs it at a given rate, as second-order
// sections for other tools (rows, JSON, a C header).
#include "rendercommands.h"

#include "commandline.h"
#include "designexport.h"
#include "designoptions.h"
#include "numbertext.h"
#include "optionvalues.h"
#include "polezero.h"
#include "renderoptions.h"
#include "sosrows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vorn {

namespace {

void Print(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string StageName(std::size_t row)
{
    return row < 3 ? "section " + std::to_string(row + 1) : std::string("high-pass");
}

// 17 significant digits, a blank in place of a plus sign, so that the columns line up.
std::string Coefficient(double value)
{
    const std::string text = FormatScientific(value, 17);
    return text.front() == '-' ? text : ' ' + text;
}

std::string SosRows(const FilterCoefficients& coefficients, double rate)
{
    const std::array<SosRow, 4> rows = ChainSosRows(coefficients);
    std::string text = "# Vorn's filter chain simulated at " + FormatDouble15g(rate)
        + " Hz as second-order sections, in order:\n"
          "# b0 b1 b2 a0 a1 a2 per row, a0 = 1, "
          "y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]\n";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        text += "# " + StageName(i);
        text += i < 3 ? ": k = " + FormatShortest(coefficients.sections[i].k)
                + ", natural frequency 1000 Hz\n"
                      : ": 1 Hz, first-order (b2 = a2 = 0)\n";
        for (const double value : rows[i].b) {
            text += Coefficient(value) + ' ';
        }
        for (std::size_t j = 0; j < 3; ++j) {
            text += Coefficient(rows[i].a[j]) + (j < 2 ? " " : "\n");
        }
    }
    return text;
}

std::string JsonArray(const std::array<double, 3>& values)
{
    return '[' + FormatShortest(values[0]) + ", " + FormatShortest(values[1]) + ", "
        + FormatShortest(values[2]) + ']';
}

std::string JsonComplex(std::complex<double> value)
{
    return "{\"re\": " + FormatShortest(value.real() + 0.0)
        + ", \"im\": " + FormatShortest(value.imag() + 0.0) + '}';
}

// Numbers in their shortest exact form; the analogue prototype in rad/s, as analogue zero-pole
// forms take it.
std::string Json(const FilterCoefficients& coefficients, double rate)
{
    const std::array<SosRow, 4> rows = ChainSosRows(coefficients);
    std::string text = "{\n  \"rate\": " + FormatShortest(rate) + ",\n";
    text += "  \"layout\": \"b0 b1 b2 over a0 a1 a2, a0 = 1: y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2]"
            " - a1 y[n-1] - a2 y[n-2]\",\n";
    text += "  \"sections\": [\n";
    double gain = 1;
    for (std::size_t i = 0; i < 3; ++i) {
        const double k = coefficients.sections[i].k;
        text += "    {\"k\": " + FormatShortest(k) + ", \"naturalFrequencyHz\": 1000, \"q\": "
            + FormatShortest(1 / k) + ", \"b\": " + JsonArray(rows[i].b)
            + ", \"a\": " + JsonArray(rows[i].a) + (i < 2 ? "},\n" : "}\n");
        gain *= rows[i].b[0];
    }
    gain *= rows[3].b[0];
    text += "  ],\n  \"highPass\": {\"cornerHz\": 1, \"b\": " + JsonArray(rows[3].b)
        + ", \"a\": " + JsonArray(rows[3].a) + "},\n";
    text += "  \"gain\": " + FormatShortest(gain) + ",\n";

    const double twoPi = std::atan(1.0) * 8;
    std::string poles;
    std::string zero;
    std::string pole;
    for (const Root& root : AnalogueRoots()) {
        const std::string value = JsonComplex(root.value * twoPi);
        if (root.stage < 3) {
            poles += (poles.empty() ? "" : ", ") + value;
        } else {
            (root.pole ? pole : zero) = value;
        }
    }
    text += "  \"analogue\": {\"unit\": \"rad/s\", \"gain\": "
        + FormatShortest(std::pow(twoPi * 1000, 6)) + ",\n    \"poles\": [" + poles
        + "],\n    \"highPassZero\": " + zero + ", \"highPassPole\": " + pole + "}\n}\n";
    return text;
}

std::string CHeader(const FilterCoefficients& coefficients, double rate)
{
    const std::array<SosRow, 4> rows = ChainSosRows(coefficients);
    std::string text = "/* Vorn's filter chain simulated at " + FormatDouble15g(rate)
        + " Hz as second-order sections\n"
          " * (vorn-render coefficients --format c). Self-contained; C89, C99 and C++.\n"
          " *\n"
          " * Layout: VORN_SOS_ROWS rows of six coefficients, b0 b1 b2 a0 a1 a2 with a0 = 1, to "
          "be\n"
          " * run in order: the three sections of the 6th-order 1 kHz Butterworth low-pass\n"
          " * (k = ";
    for (std::size_t i = 0; i < 3; ++i) {
        text += FormatShortest(coefficients.sections[i].k) + (i < 2 ? ", " : ")");
    }
    text += ", then the 1 Hz high-pass as a\n"
            " * first-order section (b2 = a2 = 0). Each row computes\n"
            " *     y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]\n"
            " * and feeds y to the next.\n"
        + CHeaderOpening(rate) + "#define VORN_SOS_ROWS 4\n\n";
    std::vector<std::string> names;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        names.push_back(StageName(i));
    }
    text += CSosTables({ rows.begin(), rows.end() }, names);
    text += "\n#endif /* VORN_SOS_H */\n";
    return text;
}

} // namespace

void AddCoefficientsCommand(CommandLine& line, RenderCommand& parsed)
{
    auto options = std::make_shared<CoefficientsOptions>();
    CLI::App* command = line.AddCommand("coefficients",
        "the chain as second-order sections: rows, JSON or a C header",
        { { "[--rate HZ] [--format sos|json|c]" },
            "Prints the chain exactly as the program runs it at --rate as second-order sections: "
            "the three sections, then the high-pass as a first-order section. Each row holds b0 "
            "b1 b2 a0 a1 a2 with a0 = 1 and computes y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 "
            "y[n-1] - a2 y[n-2], as sosfilt in scipy and MATLAB take it (many embedded biquad "
            "libraries want -a1 and -a2 instead): each section's b0 b1 a1 a2 follow from its state "
            "update as written, with the freshly updated x1 passed on. Run through these rows, an "
            "input gives the program's samples before their truncation to 16 bits, to within "
            "rounding.\n"
            "With design options, the design's sections as they run. Sampled as a whole (--hold "
            "whole, the default) they are a parallel form: the first rows (the first of them the "
            "direct term) run side by side on the input and their outputs add up, and the DC "
            "block's row runs on that sum; the comments say how many rows are parallel and give "
            "the scipy lines that run them. With --hold sections every row runs in cascade, as "
            "sosfilt runs them." });
    line.SetExamples(command,
        { { "vorn-render coefficients > sos.txt",
              "the window's chain for scipy: y = scipy.signal.sosfilt(numpy.loadtxt('sos.txt'), "
              "x)" },
            { "vorn-render coefficients --type elliptic --order 4 --format c > elliptic.h",
                "a 4th-order elliptic filter as a C header" } });
    AddChainRate(*command, options->rate);
    AddChoice(*command, "--format", options->format,
        Choices<CoefficientFormat> { { "sos", CoefficientFormat::Sos },
            { "json", CoefficientFormat::Json }, { "c", CoefficientFormat::C } },
        "sos (the default): the four rows with 17 significant digits and comment lines starting "
        "with '#'; json: the rate, the sections (damping k, natural frequency, Q, b, a), the "
        "high-pass, the overall gain and the analogue prototype's poles, zero and gain in rad/s; "
        "c: a self-contained C header with the rows as double and as float arrays");
    const auto design = DesignOptions::Add(line, *command);
    command->callback([options, design, command, &parsed] {
        options->designs = design->Designs(false, kDesignListsWhere);
        CheckDesigns(options->designs, options->rate);
        parsed = { command->get_name(), *options };
    });
}

void RunCoefficients(const CoefficientsOptions& options)
{
    const double rate = options.rate;
    if (const auto design = OneDesign(options.designs)) {
        const DiscreteDesign sampled = Discretise(*design, rate);
        Print(options.format == CoefficientFormat::Sos      ? SosText(sampled)
                : options.format == CoefficientFormat::Json ? Json(sampled)
                                                            : CHeader(sampled));
        return;
    }
    const FilterCoefficients coefficients = ComputeCoefficients(rate);
    Print(options.format == CoefficientFormat::Sos      ? SosRows(coefficients, rate)
            : options.format == CoefficientFormat::Json ? Json(coefficients, rate)
                                                        : CHeader(coefficients, rate));
}

} // namespace vorn
