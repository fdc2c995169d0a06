// SPDX-License-Identifier: GPL-2.0-or-later
// Reading scenario files for the -sim executables (the format is described in scenario_file.h).
#include "scenario_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sstream>
#include <vector>

namespace sim {

namespace {

struct Setting {
    std::vector<std::string> words; // words[0] is the setting's name
    std::string rest;               // the line after the name, without surrounding blanks
    std::string folder;             // where relative paths are found
};

using Handler = std::string (*)(const Setting&, Scenario&);

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool parseNumber(const std::string& word, std::uint64_t max, std::uint64_t& value) {
    if (word.empty() || word.size() > 10) return false;
    value = 0;
    for (const char c : word) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value <= max;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Pairs of hexadecimal digits, `separator` between the pairs when it is not '\0'.
bool parseHexBytes(const std::string& text, char separator, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::size_t at = 0;
    while (at < text.size()) {
        if (at + 1 >= text.size()) return false;
        const int high = hexDigit(text[at]);
        const int low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
        at += 2;
        if (separator != '\0' && at < text.size() && text[at++] != separator) return false;
    }
    return !bytes.empty();
}

template <typename Value>
std::string numberSetting(const Setting& setting, Value& field, std::uint64_t min = 0) {
    std::uint64_t value = 0;
    if (setting.words.size() != 2 ||
        !parseNumber(setting.words[1], std::numeric_limits<Value>::max(), value) || value < min)
        return "\"" + setting.words[0] + "\" needs one number from " + std::to_string(min) +
               " to " + std::to_string(std::numeric_limits<Value>::max());
    field = static_cast<Value>(value);
    return {};
}

std::string flagSetting(const Setting& setting, bool& field) {
    if (setting.words.size() != 1) return "\"" + setting.words[0] + "\" takes no value";
    field = true;
    return {};
}

std::string versionSetting(const Setting& setting, std::array<std::uint8_t, 2>& field) {
    const std::string problem = "\"" + setting.words[0] + "\" needs MAJOR.MINOR, e.g. 2.8";
    if (setting.words.size() != 2) return problem;
    const std::string& word = setting.words[1];
    const auto dot = word.find('.');
    std::uint64_t major = 0;
    std::uint64_t minor = 0;
    if (dot == std::string::npos || !parseNumber(word.substr(0, dot), 255, major) ||
        !parseNumber(word.substr(dot + 1), 255, minor))
        return problem;
    field = {static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor)};
    return {};
}

std::string macSetting(const Setting& setting, Scenario& scenario) {
    std::vector<std::uint8_t> bytes;
    if (setting.words.size() != 2 || setting.words[1].size() != 14 ||
        !parseHexBytes(setting.words[1], ':', bytes) || bytes.size() != 5)
        return "\"mac\" needs five hexadecimal bytes, e.g. 4B:56:02:1F:3A";
    std::copy(bytes.begin(), bytes.end(), scenario.mac.begin());
    return {};
}

bool parseFaultKind(const std::string& word, FaultKind& kind) {
    static const std::pair<const char*, FaultKind> names[] = {
        {"lost-reply", FaultKind::LostReply},    {"failed-read", FaultKind::FailedRead},
        {"write-fails", FaultKind::WriteFails},  {"wrong-command", FaultKind::WrongCommand},
        {"wrong-page", FaultKind::WrongPage},    {"wrong-part", FaultKind::WrongPart},
        {"bad-data-crc", FaultKind::BadDataCrc}, {"bad-page-crc", FaultKind::BadPageCrc},
        {"late-reply", FaultKind::LateReply},    {"interrupt", FaultKind::Interrupt}};
    for (const auto& [name, value] : names) {
        if (word == name) {
            kind = value;
            return true;
        }
    }
    return false;
}

std::string faultSetting(const Setting& setting, Scenario& scenario) {
    const std::string problem = "\"fault\" needs EXCHANGE KIND [COUNT], EXCHANGE and COUNT from 1";
    const auto& words = setting.words;
    std::uint64_t exchange = 0;
    std::uint64_t count = 1;
    Fault fault;
    if (words.size() < 3 || words.size() > 4 ||
        !parseNumber(words[1], std::numeric_limits<std::uint32_t>::max(), exchange) ||
        exchange == 0 ||
        (words.size() == 4 &&
         (!parseNumber(words[3], std::numeric_limits<std::uint32_t>::max(), count) || count == 0)))
        return problem;
    if (!parseFaultKind(words[2], fault.kind)) return "unknown fault kind \"" + words[2] + "\"";
    fault.exchange = static_cast<std::uint32_t>(exchange);
    fault.count = static_cast<std::uint32_t>(count);
    scenario.faults.push_back(fault);
    return {};
}

std::string exchangeSetting(const Setting& setting, std::optional<std::uint32_t>& field) {
    std::uint32_t exchange = 0;
    std::string problem = numberSetting(setting, exchange, 1);
    if (problem.empty()) field = exchange;
    return problem;
}

std::string logSetting(const Setting& setting, Scenario& scenario) {
    if (setting.rest.empty()) return "\"log\" needs a file name";
    std::filesystem::path path(setting.rest);
    if (path.is_relative() && !setting.folder.empty()) path = setting.folder / path;
    std::FILE* file = std::fopen(path.string().c_str(), "rb");
    if (file == nullptr)
        return "cannot read log file \"" + path.string() + "\": " + std::strerror(errno);
    std::vector<std::uint8_t> log(LOG_SIZE, 0xFF);
    // A short file leaves the rest of the memory erased; a long one is read only so far.
    const bool failed =
        std::fread(log.data(), 1, log.size(), file) < log.size() && std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return "cannot read log file \"" + path.string() + "\"";
    scenario.log = std::move(log);
    return {};
}

std::string replySetting(const Setting& setting, std::optional<Packet>& field) {
    std::string digits;
    for (std::size_t i = 1; i < setting.words.size(); ++i)
        digits += setting.words[i];
    std::vector<std::uint8_t> bytes;
    if (!parseHexBytes(digits, '\0', bytes) || bytes.size() > 64)
        return "\"" + setting.words[0] + "\" needs 1 to 64 bytes as pairs of hexadecimal digits";
    Packet reply{};
    std::copy(bytes.begin(), bytes.end(), reply.begin());
    field = reply;
    return {};
}

std::string apply(const Setting& s, Scenario& scenario) {
    const std::string& name = s.words[0];
    if (name == "devices") {
        const std::string problem = numberSetting(s, scenario.devices);
        return problem.empty() && scenario.devices > 2 ? "\"devices\" must be 0, 1 or 2" : problem;
    }
    if (name == "init-fails") return flagSetting(s, scenario.initFails);
    if (name == "open-fails") return flagSetting(s, scenario.openFails);
    if (name == "battery") return numberSetting(s, scenario.battery);
    if (name == "mac") return macSetting(s, scenario);
    if (name == "hw") return versionSetting(s, scenario.hw);
    if (name == "sw") return versionSetting(s, scenario.sw);
    if (name == "global-time") return numberSetting(s, scenario.globalTime);
    if (name == "fault") return faultSetting(s, scenario);
    if (name == "unplugged-from") return exchangeSetting(s, scenario.unpluggedFrom);
    if (name == "silent-from") return exchangeSetting(s, scenario.silentFrom);
    if (name == "instant-timeouts") {
        bool instant = false;
        std::string problem = flagSetting(s, instant);
        if (problem.empty()) scenario.realTimeouts = false;
        return problem;
    }
    if (name == "log") return logSetting(s, scenario);
    if (name == "check-firmware") return replySetting(s, scenario.checkFirmwareReply);
    if (name == "check-integrity") return replySetting(s, scenario.checkIntegrityReply);
    return "unknown setting \"" + name + "\"";
}

// One line without its comment, split into words; false when it holds no setting.
bool readSetting(const std::string& line, Setting& setting) {
    const std::string text = trimmed(line.substr(0, line.find('#')));
    setting.words.clear();
    std::istringstream words(text);
    for (std::string word; words >> word;)
        setting.words.push_back(word);
    if (setting.words.empty()) return false;
    setting.rest = trimmed(text.substr(setting.words[0].size()));
    return true;
}

} // namespace

bool parseScenario(const std::string& text, const std::string& name, const std::string& folder,
                   Scenario& scenario, std::string& error) {
    std::istringstream lines(text);
    std::string line;
    unsigned number = 1;
    const auto fail = [&](const std::string& problem) {
        error = "scenario file \"" + name + "\", line " + std::to_string(number) + ": " + problem;
        return false;
    };
    if (!std::getline(lines, line) || trimmed(line) != SCENARIO_VERSION_LINE)
        return fail(std::string("the first line must be \"") + SCENARIO_VERSION_LINE + "\"");
    Setting setting;
    setting.folder = folder;
    while (std::getline(lines, line)) {
        ++number;
        if (!readSetting(line, setting)) continue;
        const std::string problem = apply(setting, scenario);
        if (!problem.empty()) return fail(problem);
    }
    return true;
}

bool loadScenarioFile(const std::string& path, Scenario& scenario, std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot read scenario file \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[4096];
    for (std::size_t got = 0; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    std::fclose(file);
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return parseScenario(text, path, folder, scenario, error);
}

Scenario scenarioFromEnvironment(std::FILE* err) {
    const char* path = std::getenv(SCENARIO_VARIABLE);
    Scenario scenario;
    scenario.realTimeouts = true; // a program run waits as a real logger makes it wait
    if (path == nullptr || *path == '\0') return scenario;
    std::string error;
    if (loadScenarioFile(path, scenario, error)) return scenario;
    std::fprintf(err, "kvsim: %s; acting as if no logger were attached\n", error.c_str());
    Scenario absent;
    absent.devices = 0;
    return absent;
}

} // namespace sim
