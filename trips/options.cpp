// SPDX-License-Identifier: GPL-2.0-or-later
// Reads the kvtrips command line with CLI11: options, formats, gap, WHEN times, help and version.
#include "options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <string_view>

#include "timetext.h"

#ifndef KV_VERSION
#error "KV_VERSION must name the project's version"
#endif

namespace trips {

const char* formatName(Format format) {
    switch (format) {
    case Format::Gpx:
        return "gpx";
    case Format::GeoJson:
        return "geojson";
    case Format::Kml:
        return "kml";
    case Format::Csv:
        return "csv";
    }
    return "";
}

namespace {

constexpr Format kFormats[] = {Format::Gpx, Format::GeoJson, Format::Kml, Format::Csv};

// Reads "gpx,geojson,html": every name known, each once (a repeated name counts once). "html" is
// the one report of all trips and sets `html`; the others are written one file per trip.
std::optional<std::vector<Format>> parseFormats(std::string_view list, bool& html) {
    std::vector<Format> formats;
    html = false;
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view name = list.substr(0, comma);
        if (name == "html") {
            html = true;
            if (comma == std::string_view::npos) return formats;
            list.remove_prefix(comma + 1);
            continue;
        }
        const auto known = std::find_if(std::begin(kFormats), std::end(kFormats),
                                        [name](Format f) { return name == formatName(f); });
        if (known == std::end(kFormats)) return std::nullopt;
        if (std::find(formats.begin(), formats.end(), *known) == formats.end())
            formats.push_back(*known);
        if (comma == std::string_view::npos) return formats;
        list.remove_prefix(comma + 1);
    }
}

// Reads a --gap value: decimal digits only, 1 to 2^32 - 1.
std::optional<std::uint32_t> parseGap(std::string_view text) {
    std::uint32_t seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || seconds == 0)
        return std::nullopt;
    return seconds;
}

int usageError(std::FILE* err, const std::string& message) {
    std::fprintf(err, "kvtrips: %s (see kvtrips --help)\n", message.c_str());
    return 2;
}

} // namespace

CommandLine parseCommandLine(int argc, char** argv, std::FILE* out, std::FILE* err) {
    Options options;
    std::string formats = "gpx,html";
    std::string gap = "600";
    std::string since;
    std::string until;
    std::vector<std::string> inputs;
    CLI::App app{"kvtrips: the trips in raw.dat files of the Korvane plus logger as GPX, GeoJSON, "
                 "KML and CSV files and an HTML report, with trip figures",
                 "kvtrips"};
    app.set_version_flag("--version", std::string("kvtrips ") + KV_VERSION);
    app.add_option("FILE", inputs, "raw.dat images (default ./raw.dat)");
    app.add_option("-o,--out", options.outDir, "folder for the exports, made when missing")
        ->capture_default_str();
    app.add_option("-f,--format", formats, "comma-separated, any of: gpx, geojson, kml, csv, html")
        ->capture_default_str();
    // Read as text and then in decimal: CLI11 would take "010" as octal and "0x10" as hex.
    app.add_option("--gap", gap,
                   "a trip ends where the next point record is more than SECONDS later")
        ->type_name("SECONDS")
        ->capture_default_str();
    app.add_option("--since", since, "keep the trips that start at or after WHEN")
        ->type_name("WHEN");
    app.add_option("--until", until, "keep the trips that start before WHEN")->type_name("WHEN");
    app.add_flag("--utc", options.utc, "show times and name files in UTC (default: local time)");
    app.add_flag("--json", options.json, "print the summary as JSON instead of the table");
    app.add_flag("-n,--dry-run", options.dryRun,
                 "print the summary, write no file, make no folder");
    app.add_flag("-q,--quiet", options.quiet, "print nothing but errors (and the JSON when asked)");
    app.footer(
        "WHEN: YYYY-MM-DD, YYYY-MM-DDTHH:MM or YYYY-MM-DDTHH:MM:SS in the time zone in use.\n"
        "Exit status: 0 all read and written, 1 an input or export failed, 2 usage error.");
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), out);
        return {};
    } catch (const CLI::CallForVersion& version) {
        std::fprintf(out, "%s\n", version.what());
        return {};
    } catch (const CLI::ParseError& e) {
        return {std::nullopt, usageError(err, e.what())};
    }
    const auto gapSeconds = parseGap(gap);
    if (!gapSeconds)
        return {std::nullopt, usageError(err, "--gap needs a whole number of seconds "
                                              "from 1 to 4294967295, not: " +
                                                  gap)};
    options.gap = *gapSeconds;
    const auto formatList = parseFormats(formats, options.html);
    if (!formatList) return {std::nullopt, usageError(err, "unknown format in: " + formats)};
    options.formats = *formatList;
    if (!since.empty() || app.count("--since") != 0) {
        options.since = parseWhen(since, options.utc);
        if (!options.since) return {std::nullopt, usageError(err, "bad --since time: " + since)};
    }
    if (!until.empty() || app.count("--until") != 0) {
        options.until = parseWhen(until, options.utc);
        if (!options.until) return {std::nullopt, usageError(err, "bad --until time: " + until)};
    }
    if (!inputs.empty()) options.inputs = inputs;
    return {options, 0};
}

} // namespace trips
