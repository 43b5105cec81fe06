// compare_tables: compares two dump_metrics12.csv tables, typically the
// reference run under Wine and our own build on the same fonts, and tells
// which fonts and rows differ and how. Exit status 0 when they agree, 1 when
// they do not, 2 on bad usage, a table that cannot be read or a report that
// cannot be written.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "html_report.h"
#include "table_comparison.h"
#include "width_table_reader.h"

namespace {

constexpr const char kUsage[] =
    "usage: compare_tables [options] FIRST.csv SECOND.csv\n"
    "  --min-equal PERCENT   agree only when at least this share of the rows both\n"
    "                        tables have are equal (default 100)\n"
    "  --drop-repeats        keep only the first row of each key in each table\n"
    "                        (Wine repeats a family once per character set)\n"
    "  --common-families     fonts only one table has do not count against agreement\n"
    "  --ignore-family NAME  leave out a family (by name or face label); repeatable\n"
    "  --ignore-code HEX     leave out the rows of a code (7f), in both; repeatable\n"
    "  --show N              list at most N differing rows (default 20)\n"
    "  --html REPORT.html    also write the comparison as one HTML page: where the\n"
    "                        rows differ, and a drawing of each differing row\n";

struct Arguments {
    CompareOptions options;
    double min_equal = 100.0;
    std::size_t show = 20;
    std::string html;  // the report's file, none when empty
    std::string files[2];
};

[[noreturn]] void usage_error(const std::string &reason) {
    std::fprintf(stderr, "compare_tables: %s\n%s", reason.c_str(), kUsage);
    std::exit(2);
}

double parse_number(const char *text, const char *option) {
    char *end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || value < 0)
        usage_error(std::string(option) + " wants a number not below 0, not '" + text + "'");
    return value;
}

Arguments parse_arguments(int argc, char **argv) {
    Arguments arguments;
    int file_count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) usage_error(argument + " wants a value");
            return argv[++i];
        };
        if (argument == "--min-equal") {
            arguments.min_equal = parse_number(value(), "--min-equal");
        } else if (argument == "--drop-repeats") {
            arguments.options.drop_repeats = true;
        } else if (argument == "--common-families") {
            arguments.options.common_families_only = true;
        } else if (argument == "--ignore-family") {
            arguments.options.ignored_families.emplace_back(value());
        } else if (argument == "--ignore-code") {
            const char *text = value();
            char *end = nullptr;
            const unsigned long code = std::strtoul(text, &end, 16);
            if (end == text || *end != '\0' || code > 0xff)
                usage_error(std::string("--ignore-code wants a code in hexadecimal, not '") + text +
                            "'");
            arguments.options.ignored_codes.push_back(static_cast<unsigned>(code));
        } else if (argument == "--show") {
            arguments.show = static_cast<std::size_t>(parse_number(value(), "--show"));
        } else if (argument == "--html") {
            arguments.html = value();
            if (arguments.html.empty()) usage_error("--html wants a file name");
        } else if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (argument.size() > 1 && argument[0] == '-') {
            usage_error("unknown option '" + argument + "'");
        } else if (file_count < 2) {
            arguments.files[file_count++] = argument;
        } else {
            usage_error("more than two tables given");
        }
    }
    if (file_count < 2) usage_error("two tables wanted");
    return arguments;
}

WidthTable load(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "compare_tables: cannot open '%s': %s\n", file.c_str(),
                     std::strerror(errno));
        std::exit(2);
    }
    try {
        return read_table(in, file);
    } catch (const BadTable &error) {
        std::fprintf(stderr, "compare_tables: %s\n", error.what());
        std::exit(2);
    }
}

void print_fields(const std::array<std::string, 4> &fields) {
    std::printf("%s,%s,%s,%s", fields[0].c_str(), fields[1].c_str(), fields[2].c_str(),
                fields[3].c_str());
}

void print_report(const Comparison &comparison, const Arguments &arguments) {
    for (std::size_t t = 0; t < 2; ++t) {
        const char *file = arguments.files[t].c_str();
        std::printf("%s: %zu rows", file, comparison.rows_read[t]);
        if (comparison.repeats_dropped[t])
            std::printf(", %zu repeats dropped", comparison.repeats_dropped[t]);
        if (comparison.ignored_rows[t])
            std::printf(", %zu rows of ignored families", comparison.ignored_rows[t]);
        std::printf("\n");
    }
    for (std::size_t t = 0; t < 2; ++t) {
        for (const auto &[font, rows] : comparison.fonts_only_in[t])
            std::printf("font only in %s: \"%s\" (%zu rows)\n", arguments.files[t].c_str(),
                        font.c_str(), rows);
    }
    for (std::size_t t = 0; t < 2; ++t) {
        const auto &keys = comparison.rows_only_in[t];
        if (keys.empty()) continue;
        std::printf("rows only in %s: %zu, e.g. \"%s\"\n", arguments.files[t].c_str(), keys.size(),
                    keys.front().c_str());
    }
    std::printf("rows in both: %zu, equal: %zu (%.2f%%)\n", comparison.rows_in_both,
                comparison.equal_rows, equal_share(comparison));
    if (comparison.differences.empty()) return;

    std::printf("differing rows by kind:\n");
    for (std::size_t k = 0; k < 4; ++k)
        std::printf("  %-8s %6zu  (by at most %.2f)\n", kWidthKindNames[k],
                    comparison.differing_by_kind[k], comparison.largest_difference[k]);
    std::printf("differing rows by font:\n");
    for (const auto &[font, tally] : comparison.by_font) {
        if (tally.differing == 0) continue;
        std::printf("  \"%s\": %zu of %zu (A %zu, B %zu, C %zu, advance %zu)\n", font.c_str(),
                    tally.differing, tally.rows_in_both, tally.differing_by_kind[kA],
                    tally.differing_by_kind[kB], tally.differing_by_kind[kC],
                    tally.differing_by_kind[kAdvance]);
    }
    const std::size_t shown = std::min(arguments.show, comparison.differences.size());
    if (shown) std::printf("first %zu differing rows (A,B,C,advance: first | second):\n", shown);
    for (std::size_t i = 0; i < shown; ++i) {
        const RowDifference &difference = comparison.differences[i];
        std::printf("  \"%s\" ", difference.key.c_str());
        print_fields(difference.first);
        std::printf(" | ");
        print_fields(difference.second);
        std::printf("\n");
    }
}

void write_report(const std::string &file, const std::string &page) {
    std::FILE *out = std::fopen(file.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "compare_tables: cannot write '%s': %s\n", file.c_str(),
                     std::strerror(errno));
        std::exit(2);
    }
    const bool written = std::fwrite(page.data(), 1, page.size(), out) == page.size();
    const int saved_errno = errno;
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "compare_tables: cannot write '%s': %s\n", file.c_str(),
                     std::strerror(written ? errno : saved_errno));
        std::exit(2);
    }
}

}  // namespace

int main(int argc, char **argv) {
    const Arguments arguments = parse_arguments(argc, argv);
    const WidthTable first = load(arguments.files[0]);
    const WidthTable second = load(arguments.files[1]);
    const Comparison comparison = compare_tables(first, second, arguments.options);
    print_report(comparison, arguments);
    const bool agree = tables_agree(comparison, arguments.options, arguments.min_equal);
    std::printf("%s (at least %.2f%% equal wanted)\n", agree ? "tables agree" : "tables differ",
                arguments.min_equal);
    if (!arguments.html.empty()) {
        const ReportHeading heading{
            {arguments.files[0], arguments.files[1]}, arguments.min_equal, agree};
        write_report(arguments.html, html_report(comparison, heading));
    }
    return agree ? 0 : 1;
}
