// SPDX-License-Identifier: GPL-2.0-or-later
// The state of one analysis of raw.dat, with its buffers.
#include "analysis.h"

#include <cerrno>

#include "platform.h"
#include "rawdata.h"
#include "record.h"

namespace logs {

namespace {

// Large enough that the reads and writes of a full log cost a few hundred system calls, small
// enough that the analysis stays well inside a few megabytes whatever the log's size.
constexpr std::size_t kInputBufferSize = 64 * 1024;
constexpr std::size_t kOutputBufferSize = 128 * 1024;

} // namespace

Analysis::Analysis(std::FILE* dataStream, std::FILE* outStream, std::uint32_t pointTimeLimit)
    : data(dataStream), out(outStream), timeLimit(pointTimeLimit), scanInput(kInputBufferSize),
      exportInput(kInputBufferSize), exportOutput(kOutputBufferSize) {}

void Analysis::reportExportFailure(const char* path, int error) {
    std::fprintf(err, "kvlogs: cannot write %s: %s\n", path,
                 platform::errorText(error != 0 ? error : EIO).c_str());
    std::fflush(err);
    exportFailed = true;
}

int Analysis::exportFlight(std::uint64_t start, std::uint64_t stop, const char* namePattern,
                           Writer write, const char* notCreated) {
    logbook::RecordReader reader(data, exportInput);
    logbook::TextBuffer text(exportOutput);
    const ExportSource source{reader, start, stop, timeLimit, clock};
    PathText path{};
    const ExportResult result = write(source, text, [&](const logbook::LocalTime& time) {
        std::FILE* file = createExportFile(folder, namePattern, time, path);
        if (file == nullptr) {
            const int error = errno;
            if (notCreated != nullptr) std::fputs(notCreated, out);
            reportExportFailure(path.data(), error);
        }
        return file;
    });
    if (result == ExportResult::NotCreated) return 0;
    logbook::seekTo(data, stop + logbook::RECORD_SIZE);
    if (result != ExportResult::WriteFailed) return 1;
    reportExportFailure(path.data(), text.error());
    return 0;
}

} // namespace logs
