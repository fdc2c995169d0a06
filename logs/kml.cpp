// SPDX-License-Identifier: GPL-2.0-or-later
// Writes one flight as a KML 2.2 document: the point placemarks, then the track.
#include "kml.h"

#include <string_view>

#include "rawdata.h"
#include "record.h"
#include "text.h"

namespace logs {

using namespace logbook;

namespace {

constexpr std::string_view kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                   "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\r\n"
                                   "<Document>\r\n<name>";
constexpr std::string_view kTitle = "%Y-%m-%d_%H:%M:%S";
constexpr std::string_view kTitleTail = " points from Korvane+</name>\r\n"
                                        "<open>1</open><Folder><name>Points</name>\r\n";
constexpr std::string_view kPointsEnd = "</Folder>\r\n";
constexpr std::string_view kTrackHead =
    "<Placemark>\r\n<name>Track</name>\r\n<LineString><extrude>1</extrude>"
    "<tessellate>1</tessellate><altitudeMode>relativeToGround</altitudeMode><coordinates>\r\n";
constexpr std::string_view kTrackEnd = "\r\n</coordinates></LineString></Placemark>";
constexpr std::string_view kDocumentEnd = "</Document></kml>\r\n";

// "%f,%f,%d": longitude, latitude and the altitude that map viewers get, in the placemarks and
// the track alike.
char* writeCoordinates(char* p, const KVdata& point) {
    p = formatFixed6(p, point.lon);
    *p++ = ',';
    p = formatFixed6(p, point.lat);
    *p++ = ',';
    return formatInt(p, coordinateAltitude(point.Altitude));
}

// State of an open document: its points are being written, or its track has begun.
enum class Document { Points, Track };

// Room for one placemark with the widest numbers: the logger's fields are 16 bits at most, and
// a coordinate's text is at most NUMBER_TEXT_SIZE.
constexpr std::size_t kPlacemarkRoom = 1500;

// The point placemark and the extended data that closes it.
void writePlacemark(TextBuffer& text, const KVdata& point, const LocalTime& time) {
    char* p = text.reserve(kPlacemarkRoom);
    p = copyText(p, "<Placemark>\r\n\r\n<name>");
    p = formatTime(p, "%H:%M:%S", time);
    p = copyText(p, "</name>\r\n<description>Speed:");
    p = formatInt(p, point.speed);
    p = copyText(p, " km/h\r\nAltitude: ");
    p = formatInt(p, point.Altitude);
    p = copyText(p, " m\r\nCourse: ");
    p = formatInt(p, point.Course);
    p = copyText(p, " \r\nRPM: ");
    p = formatInt(p, point.RPM);
    p = copyText(p, "\r\nT1: ");
    p = formatInt(p, point.T1);
    p = copyText(p, " *C\r\nT2: ");
    p = formatInt(p, point.T2);
    p = copyText(p, " *C\r\nTz: ");
    p = formatInt(p, point.Tz);
    p = copyText(p, " *C\r\nFuel: ");
    p = formatInt(p, point.Fuel);
    p = copyText(p, "\r\nVario: ");
    p = formatInt(p, point.Vario);
    p = copyText(p, "\r\n</description>\r\n<Point><extrude>1</extrude><tessellate>1</tessellate>"
                    "<altitudeMode>relativeToGround</altitudeMode><coordinates>");
    p = writeCoordinates(p, point);
    p = copyText(p, "</coordinates></Point>\r\n<ExtendedData><Data name=\"RPM\"><value>");
    p = formatInt(p, point.RPM);
    p = copyText(p, "</value></Data><Data name=\"T1\"><value>");
    p = formatInt(p, point.T1);
    p = copyText(p, "</value></Data><Data name=\"T2\"><value>");
    p = formatInt(p, point.T2);
    p = copyText(p, "</value></Data><Data name=\"Tout\"><value>");
    p = formatInt(p, point.Tz);
    p = copyText(p, "</value></Data></ExtendedData></Placemark>\r\n\r\n\r\n");
    text.commit(p);
}

// Pass 1: opens the document at the first point record and writes every point placemark.
// Returns the open document, or null when the range holds no point record or opening failed
// (`failed` tells which).
std::FILE* writePoints(const ExportSource& source, TextBuffer& text, const ExportOpener& open,
                       bool& failed) {
    std::FILE* flight = nullptr;
    failed = false;
    while (const std::uint8_t* report = nextPointRecord(source.reader, source.timeLimit)) {
        const LocalTime time = source.clock.at(recordTime(report));
        if (flight == nullptr) {
            flight = open(time);
            if (flight == nullptr) {
                failed = true;
                return nullptr;
            }
            text.attach(flight);
            text.put(kHead);
            text.putTime(kTitle, time);
            text.put(kTitleTail);
        }
        writePlacemark(text, decodeRecord(report), time);
    }
    return flight;
}

// Pass 2: the track through every point record of the range. Returns the document's new state.
Document writeTrack(const ExportSource& source, TextBuffer& text) {
    Document state = Document::Points;
    while (const std::uint8_t* report = nextPointRecord(source.reader, source.timeLimit)) {
        if (state == Document::Points) {
            state = Document::Track;
            text.put(kTrackHead);
        }
        char* p = writeCoordinates(text.reserve(4 * NUMBER_TEXT_SIZE), decodeRecord(report));
        *p++ = ' ';
        text.commit(p);
    }
    return state;
}

} // namespace

ExportResult writeKml(const ExportSource& source, TextBuffer& text, const ExportOpener& open) {
    readRange(source.reader, source.start, source.stop);
    bool failed = false;
    std::FILE* flight = writePoints(source, text, open, failed);
    if (failed) return ExportResult::NotCreated;
    if (flight == nullptr) return ExportResult::NoPoints;
    text.put(kPointsEnd);
    readRange(source.reader, source.start, source.stop);
    // Both passes apply the same test to the same records, so the track is never empty
    // unless the file changed or failed between the passes.
    if (writeTrack(source, text) == Document::Track) text.put(kTrackEnd);
    text.put(kDocumentEnd);
    // A document cut short by a full disk is a failure, never done.
    return text.close() ? ExportResult::Written : ExportResult::WriteFailed;
}

int exportPoints(Analysis& analysis, std::uint64_t start, std::uint64_t stop) {
    return analysis.exportFlight(start, stop, "%Y-%m-%d_%H_%M_%S.kml", writeKml,
                                 "Error when creating file \r\n");
}

} // namespace logs
