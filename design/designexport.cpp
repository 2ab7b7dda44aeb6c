#include "designexport.h"

#include "numbertext.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace vorn {

namespace {

using Complex = std::complex<double>;
constexpr double kTwoPi = 2 * std::numbers::pi;

// 17 significant digits, a blank in place of a plus sign, so that the columns line up.
std::string Coefficient(double value)
{
    const std::string text = FormatScientific(value, 17);
    return text.front() == '-' ? text : ' ' + text;
}

std::string RowText(const SosRow& row)
{
    std::string text;
    for (const double value : row.b) {
        text += Coefficient(value) + ' ';
    }
    for (std::size_t j = 0; j < 3; ++j) {
        text += Coefficient(row.a[j]) + (j < 2 ? " " : "\n");
    }
    return text;
}

std::string Shortest(double value)
{
    return FormatShortest(value + 0.0);
}

std::string JsonArray(const std::array<double, 3>& values)
{
    return '[' + Shortest(values[0]) + ", " + Shortest(values[1]) + ", " + Shortest(values[2])
        + ']';
}

std::string JsonComplex(Complex value)
{
    return "{\"re\": " + Shortest(value.real()) + ", \"im\": " + Shortest(value.imag()) + '}';
}

std::string JsonComplexList(const std::vector<Complex>& values)
{
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
        text += (i == 0 ? "" : ", ") + JsonComplex(values[i]);
    }
    return text + ']';
}

std::string JsonRow(const SosRow& row)
{
    return "\"b\": " + JsonArray(row.b) + ", \"a\": " + JsonArray(row.a);
}

bool IsParallel(const DiscreteDesign& design)
{
    return design.plan.hold == HoldMode::Whole;
}

std::string Header(const DiscreteDesign& design, const char* lead)
{
    std::string text = std::string(lead) + DesignName(design.plan) + ", sampled at "
        + FormatDouble15g(design.rate) + " Hz ";
    text += IsParallel(design) ? "with the input held over the whole filter"
                               : "with each section's input held on its own";
    return text;
}

std::string DesignFields(const DiscreteDesign& design)
{
    const DesignPlan& plan = design.plan;
    std::string text = "{\"name\": \"" + DesignName(plan) + "\", \"type\": \""
        + std::string(TypeName(plan.type)) + "\", \"order\": " + std::to_string(plan.order)
        + ", \"cornerHz\": " + Shortest(plan.cornerHz) + ", \"shape\": \""
        + std::string(ShapeName(plan.shape)) + "\"";
    if (HasRipple(plan.type)) {
        text += ", \"rippleDb\": " + Shortest(plan.rippleDb);
    }
    if (HasStopband(plan.type)) {
        text += ", \"stopbandDb\": " + Shortest(plan.stopbandDb);
    }
    text += ", \"dcBlockHz\": " + (plan.dcBlockHz ? Shortest(*plan.dcBlockHz) : "null");
    text += ", \"hold\": \"" + std::string(HoldName(plan.hold)) + "\"}";
    return text;
}

} // namespace

std::string CDouble(double value)
{
    std::string text = FormatShortest(value);
    return text.find_first_of(".e") == std::string::npos ? text + ".0" : text;
}

std::string CHeaderOpening(double rate)
{
    return " *\n"
           " * Sign convention: a1 and a2 are the denominator's coefficients, 1 + a1 z^-1 + a2 "
           "z^-2,\n"
           " * subtracted as above (scipy, MATLAB). Many embedded biquad libraries add the "
           "feedback\n"
           " * terms instead and want -a1 and -a2 (and no a0): negate them for those.\n"
           " */\n"
           "#ifndef VORN_SOS_H\n#define VORN_SOS_H\n\n"
           "#define VORN_SOS_RATE_HZ "
        + CDouble(rate) + "\n";
}

std::string CSosTables(const std::vector<SosRow>& rows, const std::vector<std::string>& names)
{
    std::string text;
    for (const bool single : { false, true }) {
        text += single ? "\n/* The same, each rounded to the nearest float. */\n"
                         "static const float vorn_sos_float[VORN_SOS_ROWS][6] = {\n"
                       : "static const double vorn_sos[VORN_SOS_ROWS][6] = {\n";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            text += i < names.size() ? "    /* " + names[i] + " */\n    { " : std::string("    { ");
            const double values[] = { rows[i].b[0], rows[i].b[1], rows[i].b[2], rows[i].a[0],
                rows[i].a[1], rows[i].a[2] };
            for (std::size_t j = 0; j < 6; ++j) {
                // Nine significant digits name a float exactly.
                text += single ? FormatScientific(static_cast<float>(values[j]), 9) + 'f'
                               : FormatScientific(values[j], 17);
                text += j < 5 ? ", " : " }";
            }
            text += i + 1 < rows.size() ? ",\n" : "\n";
        }
        text += "};\n";
    }
    return text;
}

ExportRows RowsOf(const DiscreteDesign& design)
{
    ExportRows rows;
    std::vector<SosRow> sections = SectionRows(design);
    if (IsParallel(design)) {
        SosRow direct;
        direct.b = { design.direct, 0.0, 0.0 };
        rows.parallel.push_back(direct);
        rows.parallel.insert(rows.parallel.end(), sections.begin(), sections.end());
    } else {
        rows.cascade = sections;
    }
    if (design.dcBlock) {
        rows.cascade.push_back(DcBlockRow(design));
    }
    return rows;
}

std::string SosText(const DiscreteDesign& design)
{
    const ExportRows rows = RowsOf(design);
    std::string text = Header(design, "# Vorn: ") + ".\n";
    text += "# b0 b1 b2 a0 a1 a2 per row, a0 = 1, "
            "y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]\n";
    if (IsParallel(design)) {
        text += "# The first " + std::to_string(rows.parallel.size())
            + " rows run side by side on the input and their outputs add up (the first is the\n"
              "# direct term); the rest run in cascade on that sum. In scipy:\n"
              "#   rows = numpy.loadtxt(FILE, ndmin=2); p = "
            + std::to_string(rows.parallel.size())
            + "\n#   y = sum(sosfilt(row[None, :], x) for row in rows[:p])\n"
              "#   y = sosfilt(rows[p:], y) if len(rows) > p else y\n";
        text += "# parallel: direct term\n" + RowText(rows.parallel.front());
        for (std::size_t i = 1; i < rows.parallel.size(); ++i) {
            const PoleSection& section = design.sections[i - 1];
            text += "# parallel: " + std::string(section.pair ? "pole pair" : "real pole") + " at "
                + FormatGeneral(std::abs(section.analogue.poles.front()) / kTwoPi, 6) + " Hz\n"
                + RowText(rows.parallel[i]);
        }
    } else {
        text += "# Every row runs in cascade, as scipy's and MATLAB's sosfilt run them.\n";
        for (std::size_t i = 0; i < design.sections.size(); ++i) {
            const PoleSection& section = design.sections[i];
            text += "# section " + std::to_string(i + 1) + ": "
                + (section.pair ? "pole pair" : "real pole") + " at "
                + FormatGeneral(std::abs(section.analogue.poles.front()) / kTwoPi, 6) + " Hz\n"
                + RowText(rows.cascade[i]);
        }
    }
    if (design.dcBlock) {
        text += "# DC block: " + FrequencyName(*design.plan.dcBlockHz)
            + ", first-order (b2 = a2 = 0), in cascade\n" + RowText(rows.cascade.back());
    }
    return text;
}

std::string Json(const DiscreteDesign& design)
{
    const ExportRows rows = RowsOf(design);
    const bool parallel = IsParallel(design);
    std::string text = "{\n  \"rate\": " + Shortest(design.rate) + ",\n";
    text += "  \"design\": " + DesignFields(design) + ",\n";
    text += "  \"layout\": \"b0 b1 b2 over a0 a1 a2, a0 = 1: y[n] = b0 x[n] + b1 x[n-1] + b2 "
            "x[n-2] - a1 y[n-1] - a2 y[n-2]\",\n";
    text += std::string("  \"structure\": \"") + (parallel ? "parallel" : "cascade") + "\",\n";
    text += parallel ? "  \"note\": \"the sections run side by side on the input, their outputs "
                       "added to direct times the input; the DC block then runs on that sum\",\n"
                     : "  \"note\": \"the sections run in cascade, then the DC block\",\n";
    if (parallel) {
        text += "  \"direct\": " + Shortest(design.direct) + ",\n";
    }
    text += "  \"sections\": [\n";
    for (std::size_t i = 0; i < design.sections.size(); ++i) {
        const PoleSection& section = design.sections[i];
        const SosRow& row = parallel ? rows.parallel[i + 1] : rows.cascade[i];
        text += "    {" + JsonRow(row) + ", \"pole\": " + JsonComplex(section.pole)
            + ", \"residue\": " + JsonComplex(section.residue) + ", \"direct\": "
            + Shortest(section.direct) + (i + 1 < design.sections.size() ? "},\n" : "}\n");
    }
    text += "  ],\n  \"dcBlock\": ";
    text += design.dcBlock ? "{\"cornerHz\": " + Shortest(*design.plan.dcBlockHz) + ", "
            + JsonRow(rows.cascade.back()) + "}"
                           : std::string("null");
    text += ",\n  \"analogue\": {\"unit\": \"rad/s\", \"gain\": " + Shortest(design.analogue.gain)
        + ",\n    \"zeros\": " + JsonComplexList(design.analogue.zeros)
        + ",\n    \"poles\": " + JsonComplexList(design.analogue.poles);
    if (design.dcBlock) {
        text += ",\n    \"dcBlockZero\": " + JsonComplex(0.0)
            + ", \"dcBlockPole\": " + JsonComplex(-kTwoPi * *design.plan.dcBlockHz);
    }
    text += "}\n}\n";
    return text;
}

std::string CHeader(const DiscreteDesign& design)
{
    const ExportRows rows = RowsOf(design);
    std::vector<SosRow> all = rows.parallel;
    all.insert(all.end(), rows.cascade.begin(), rows.cascade.end());
    std::string text = Header(design, "/* Vorn: ")
        + "\n * (vorn-render coefficients --format c). Self-contained; C89, C99 and C++.\n"
          " *\n"
          " * Layout: VORN_SOS_ROWS rows of six coefficients, b0 b1 b2 a0 a1 a2 with a0 = 1. Each "
          "row\n"
          " * computes y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2].\n";
    text += IsParallel(design)
        ? " * The first VORN_SOS_PARALLEL_ROWS rows run side by side on the input and their\n"
          " * outputs are added (the first row is the direct term); the rows after them run in\n"
          " * cascade on that sum, each fed with the output of the one before.\n"
        : " * VORN_SOS_PARALLEL_ROWS is 0: every row runs in cascade, each fed with the output\n"
          " * of the one before.\n";
    text += CHeaderOpening(design.rate) + "#define VORN_SOS_ROWS " + std::to_string(all.size())
        + "\n#define VORN_SOS_PARALLEL_ROWS " + std::to_string(rows.parallel.size()) + "\n\n";
    text += CSosTables(all);
    text += "\n#endif /* VORN_SOS_H */\n";
    return text;
}

} // namespace vorn
