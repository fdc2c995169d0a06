// SPDX-License-Identifier: GPL-2.0-or-later
// Writes one trip as a GPX 1.1 document, point by point, from its records in the input.
#include "gpx.h"

#include <charconv>
#include <string_view>

#include "figuresbuilder.h"
#include "record.h"
#include "timetext.h"

namespace trips {

namespace {

using logbook::copyText;
using logbook::formatInt;

constexpr std::string_view kHeadStart =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<gpx version=\"1.1\" creator=\"kvtrips " KV_VERSION "\"\n"
    " xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
    " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v2\"\n"
    " xmlns:kv=\"";
constexpr std::string_view kHeadEnd =
    "\"\n xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
    "http://www.topografix.com/GPX/1/1/gpx.xsd "
    "http://www.garmin.com/xmlschemas/TrackPointExtension/v2 "
    "https://www8.garmin.com/xmlschemas/TrackPointExtensionv2.xsd\">\n";

// The shortest decimal text that reads back as `value`, never with an exponent. A longitude of
// exactly 180 is written as -180, the same meridian, since GPX allows [-180, 180).
char* writeDegrees(char* out, float value) {
    return std::to_chars(out, out + logbook::NUMBER_TEXT_SIZE, value, std::chars_format::fixed).ptr;
}

char* writeLon(char* out, float lon) {
    return writeDegrees(out, lon == 180.0F ? -180.0F : lon);
}

void writeMetadata(logbook::TextBuffer& text, const TripExport& e) {
    const TripFigures& f = e.trip.figures;
    char* p = copyText(text.reserve(512), "<metadata><time>");
    logbook::LocalClock utc(true);
    p = isoUtc(p, f.start_epoch, utc);
    p = copyText(p, "</time>");
    if (f.positions != 0) {
        p = copyText(p, "<bounds minlat=\"");
        p = writeDegrees(p, static_cast<float>(f.min_lat));
        p = copyText(p, "\" minlon=\"");
        p = writeLon(p, static_cast<float>(f.min_lon));
        p = copyText(p, "\" maxlat=\"");
        p = writeDegrees(p, static_cast<float>(f.max_lat));
        p = copyText(p, "\" maxlon=\"");
        p = writeLon(p, static_cast<float>(f.max_lon));
        p = copyText(p, "\"/>");
    }
    text.commit(copyText(p, "</metadata>\n"));
    text.put("<trk><name>");
    text.put(isoTime(f.start_epoch, e.source.clock));
    text.put("</name><trkseg>\n");
}

// Room for one track point with the widest numbers.
constexpr std::size_t kPointRoom = 640;

void writePoint(logbook::TextBuffer& text, std::uint32_t time, const logbook::KVdata& point,
                logbook::LocalClock& utc) {
    char* p = copyText(text.reserve(kPointRoom), "<trkpt lat=\"");
    p = writeDegrees(p, point.lat);
    p = copyText(p, "\" lon=\"");
    p = writeLon(p, point.lon);
    p = copyText(p, "\"><ele>");
    p = formatInt(p, point.Altitude);
    p = copyText(p, "</ele><time>");
    p = isoUtc(p, time, utc);
    p = copyText(p, "</time><extensions><gpxtpx:TrackPointExtension><gpxtpx:atemp>");
    p = formatInt(p, point.Tz);
    p = copyText(p, "</gpxtpx:atemp><gpxtpx:speed>");
    // km/h to m/s, to the millimetre per second
    p = std::to_chars(p, p + logbook::NUMBER_TEXT_SIZE, point.speed / 3.6, std::chars_format::fixed,
                      3)
            .ptr;
    p = copyText(p, "</gpxtpx:speed>");
    if (point.Course < 360) {
        p = copyText(p, "<gpxtpx:course>");
        p = formatInt(p, point.Course);
        p = copyText(p, "</gpxtpx:course>");
    }
    p = copyText(p, "</gpxtpx:TrackPointExtension><kv:logger rpm=\"");
    p = formatInt(p, point.RPM);
    p = copyText(p, "\" t1=\"");
    p = formatInt(p, point.T1);
    p = copyText(p, "\" t2=\"");
    p = formatInt(p, point.T2);
    p = copyText(p, "\" fuel=\"");
    p = formatInt(p, point.Fuel);
    p = copyText(p, "\" vario=\"");
    p = formatInt(p, point.Vario);
    p = copyText(p, "\" gpsele=\"");
    p = formatInt(p, point.AltitudeGPS);
    text.commit(copyText(p, "\"/></extensions></trkpt>\n"));
}

} // namespace

logs::ExportResult writeGpx(const TripExport& e, logbook::TextBuffer& text,
                            const logs::ExportOpener& open) {
    const logs::ExportSource& source = e.source;
    std::FILE* file = open(source.clock.at(e.trip.figures.start_epoch));
    if (file == nullptr) return logs::ExportResult::NotCreated;
    text.attach(file);
    text.put(kHeadStart);
    text.put(KVTRIPS_GPX_NAMESPACE);
    text.put(kHeadEnd);
    writeMetadata(text, e);
    logbook::readRange(source.reader, source.start, source.stop);
    logbook::LocalClock utc(true);
    while (const std::uint8_t* report = logbook::nextPointRecord(source.reader, source.timeLimit)) {
        const logbook::KVdata point = logbook::decodeRecord(report);
        if (usablePosition(point)) writePoint(text, logbook::recordTime(report), point, utc);
    }
    text.put("</trkseg></trk>\n</gpx>\n");
    return text.close() ? logs::ExportResult::Written : logs::ExportResult::WriteFailed;
}

} // namespace trips
