// SPDX-License-Identifier: GPL-2.0-or-later
// The synthetic demo log: three trips in and above a city in June 2025, with status records and
// pauses, computed in integer arithmetic so that every platform produces the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <vector>

#include "sim.h"

namespace sim {

namespace {

constexpr std::uint8_t POINT_RECORD = 1;
constexpr std::uint8_t STATUS_RECORD = 2;
constexpr std::uint8_t EVENT_POWER_ON = 1;
constexpr std::uint8_t EVENT_POWER_OFF = 2;
constexpr std::uint8_t EVENT_STATUS = 3;
constexpr unsigned STATUS_EVERY = 100; // point records between two status records in a trip

// One stretch of road: its course, how long the car drives it, its usual speed, whether the car
// stops at its end (otherwise it slows down for a turn) and its grade in per mille.
struct Leg {
    std::uint16_t course;
    std::uint16_t seconds;
    std::int32_t cruise;
    bool stop;
    std::int32_t grade;
};

struct Trip {
    std::uint32_t start; // UTC seconds
    std::uint32_t interval;
    std::int32_t ambientTenths; // outside temperature at the start, in 0.1 C
    const Leg* legs;
    std::size_t legCount;
};

// Unit vectors of the courses the roads take, times 1000 (north, east).
struct Heading {
    std::uint16_t course;
    std::int32_t north;
    std::int32_t east;
};
constexpr Heading HEADINGS[] = {{23, 921, 391},    {68, 375, 927},    {113, -391, 921},
                                {135, -707, 707},  {158, -927, 375},  {180, -1000, 0},
                                {203, -921, -391}, {248, -375, -927}, {293, 391, -921},
                                {315, 707, -707},  {338, 927, -375}};

// 1e-7 degree per millimetre, times 1e8: northwards, and eastwards at latitude 47.27.
constexpr std::int64_t NORTH_PER_MM = 8983;
constexpr std::int64_t EAST_PER_MM = 13239;

constexpr Leg CITY_MORNING[] = {{68, 90, 40, true, 0},    {158, 150, 50, false, 0},
                                {113, 240, 50, true, 2},  {23, 120, 30, false, 0},
                                {293, 180, 45, true, -3}, {203, 200, 50, false, 0},
                                {248, 300, 60, true, 0},  {338, 120, 30, false, 4},
                                {68, 260, 50, true, 0},   {158, 90, 30, true, 0}};
constexpr Leg CITY_ERRAND[] = {{248, 120, 40, true, 0}, {338, 200, 50, false, 3},
                               {293, 260, 60, true, 0}, {203, 150, 40, false, -2},
                               {113, 300, 50, true, 0}, {68, 180, 45, false, 0},
                               {23, 100, 30, true, 0}};
constexpr Leg MOUNTAIN_ROAD[] = {{180, 120, 50, false, 5},
                                 {158, 240, 60, false, 70},
                                 {338, 150, 45, false, 80},
                                 {135, 180, 55, false, 80},
                                 {315, 120, 40, true, 60}};

// 2025-06-14 06:10 UTC, 2025-06-14 07:05 UTC and 2025-06-15 03:40 UTC.
constexpr Trip TRIPS[] = {{1749881400, 3, 160, CITY_MORNING, std::size(CITY_MORNING)},
                          {1749884700, 3, 195, CITY_ERRAND, std::size(CITY_ERRAND)},
                          {1749958800, 2, 35, MOUNTAIN_ROAD, std::size(MOUNTAIN_ROAD)}};

class Lcg {
  public:
    std::uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    std::int32_t between(std::int32_t low, std::int32_t high) {
        return low + static_cast<std::int32_t>(next() % static_cast<std::uint32_t>(high - low + 1));
    }

  private:
    std::uint32_t state_ = 20250614;
};

// What the car and its logger are at one moment; kept from one trip to the next.
struct Car {
    std::uint32_t time = 0;
    std::int64_t latE7 = 472692000; // 1e-7 degrees
    std::int64_t lonE7 = 114041000;
    std::int64_t altitudeMm = 574000;
    std::int32_t speed = 0; // km/h
    std::int32_t climb = 0; // m/s over the last sample
    std::uint16_t course = 68;
    std::int64_t coolantMilli = 15000; // 0.001 C
    std::int64_t oilMilli = 15000;
    std::int64_t fuelMicro = 64000000; // 0.000001 %
    std::int32_t tzTenths = 160;
    std::uint16_t battery = 12600; // mV
};

class LogWriter {
  public:
    explicit LogWriter(std::vector<std::uint8_t>& log) : log_(log) {}
    void point(const Car& car, Lcg& random);
    void status(std::uint32_t time, std::uint8_t event, const Car& car);
    unsigned points() const { return points_; }

  private:
    std::uint8_t* nextRecord() {
        std::uint8_t* record = log_.data() + next_;
        next_ += 32;
        return record;
    }
    static void putBE(std::uint8_t* at, std::uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            at[i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
    }
    static void putFloat(std::uint8_t* at, std::int64_t e7) {
        const auto degrees = static_cast<float>(static_cast<double>(e7) / 1e7);
        std::uint32_t bits = 0;
        std::memcpy(&bits, &degrees, sizeof bits);
        putBE(at, bits, 4);
    }
    static std::uint32_t bits16(std::int64_t value) {
        return static_cast<std::uint32_t>(static_cast<std::uint16_t>(value));
    }

    std::vector<std::uint8_t>& log_;
    std::size_t next_ = 0;
    unsigned points_ = 0;
};

std::int32_t gearRpm(std::int32_t speed) {
    if (speed == 0) return 800;
    if (speed < 15) return std::max(1100, speed * 120);
    if (speed < 30) return speed * 68;
    if (speed < 45) return speed * 46;
    if (speed < 60) return speed * 36;
    return speed * 30;
}

void LogWriter::point(const Car& car, Lcg& random) {
    std::uint8_t* r = nextRecord();
    const std::int64_t altitude = car.altitudeMm / 1000;
    const std::int32_t load = car.climb > 0 ? 12 : 10;
    r[0] = POINT_RECORD;
    putBE(r + 1, car.time, 4);
    putFloat(r + 5, car.latE7);
    putFloat(r + 9, car.lonE7);
    r[13] = static_cast<std::uint8_t>(car.speed);
    putBE(r + 14, bits16(altitude + random.between(-4, 4)), 2);
    r[16] = static_cast<std::uint8_t>(car.course / 2);
    r[17] = static_cast<std::uint8_t>(points_ < 8 ? 5 + points_ / 3 : 8 + random.next() % 4);
    putBE(r + 18,
          static_cast<std::uint32_t>(gearRpm(car.speed) * load / 10 + random.between(-20, 20)) / 10,
          2);
    putBE(r + 20, bits16(car.coolantMilli / 1000), 2);
    putBE(r + 22, bits16(car.oilMilli / 1000), 2);
    r[24] = static_cast<std::uint8_t>(static_cast<std::int8_t>(car.tzTenths / 10));
    r[25] = static_cast<std::uint8_t>(car.fuelMicro / 1000000);
    putBE(r + 26, static_cast<std::uint32_t>(10132 - altitude * 12 / 10), 2);
    putBE(r + 28, bits16(altitude), 2);
    putBE(r + 30, bits16(car.climb), 2);
    ++points_;
}

// A status record: type, time, event, battery voltage; the rest of it zero.
void LogWriter::status(std::uint32_t time, std::uint8_t event, const Car& car) {
    std::uint8_t* r = nextRecord();
    std::memset(r, 0, 32);
    r[0] = STATUS_RECORD;
    putBE(r + 1, time, 4);
    r[5] = event;
    putBE(r + 6, car.battery, 2);
}

const Heading& headingOf(std::uint16_t course) {
    return *std::find_if(std::begin(HEADINGS), std::end(HEADINGS),
                         [course](const Heading& h) { return h.course == course; });
}

// Moves the car one sample along `leg`, `elapsed` seconds after the leg began.
void drive(Car& car, const Leg& leg, std::uint32_t elapsed, std::uint32_t interval, Lcg& random) {
    const auto remaining =
        static_cast<std::int32_t>(leg.seconds - std::min<std::uint32_t>(elapsed, leg.seconds));
    const std::int32_t brakeTarget = (leg.stop ? 0 : 15) + remaining * 3;
    const std::int32_t target = std::min(leg.cruise + random.between(-3, 3), brakeTarget);
    const std::int32_t step = static_cast<std::int32_t>(interval) * 3;
    const std::int32_t previous = car.speed;
    car.speed = std::clamp(target, previous - step - 2, previous + step);
    car.speed = std::max(car.speed, 0);
    const std::int64_t mm = (previous + car.speed) * std::int64_t{interval} * 10000 / 72;
    const Heading& heading = headingOf(leg.course);
    car.course = leg.course;
    car.latE7 += mm * heading.north * NORTH_PER_MM / 100000000;
    car.lonE7 += mm * heading.east * EAST_PER_MM / 100000000;
    const std::int64_t rise = mm * leg.grade / 1000;
    car.altitudeMm += rise;
    car.climb = static_cast<std::int32_t>(rise / 1000 / interval);
    car.fuelMicro -= mm * (30 + std::max(leg.grade, 0) / 4) / 100 + 20 * interval;
}

// The engine warms toward its working temperatures while it runs and cools while it rests.
void warm(Car& car, std::uint32_t seconds, bool running, std::int32_t ambientTenths) {
    const std::int64_t ambient = ambientTenths * 100;
    const std::int64_t coolant = running ? 90000 : ambient;
    const std::int64_t oil = running ? 96000 : ambient;
    const std::int64_t pace = running ? 1 : 6;
    for (std::uint32_t s = 0; s < seconds; ++s) {
        car.coolantMilli += (coolant - car.coolantMilli) / (420 * pace);
        car.oilMilli += (oil - car.oilMilli) / (900 * pace);
    }
}

void sample(Car& car, const Trip& trip, std::int64_t startAltitudeMm, LogWriter& writer,
            Lcg& random) {
    const std::int64_t climbed = (car.altitudeMm - startAltitudeMm) / 1000;
    const std::uint32_t elapsed = car.time - trip.start;
    car.tzTenths = static_cast<std::int32_t>(trip.ambientTenths + std::int64_t{elapsed / 90} -
                                             climbed * 8 / 100);
    warm(car, trip.interval, true, trip.ambientTenths);
    writer.point(car, random);
    if (writer.points() % STATUS_EVERY == 0) writer.status(car.time, EVENT_STATUS, car);
    car.time += trip.interval;
}

void runTrip(Car& car, const Trip& trip, LogWriter& writer, Lcg& random) {
    car.time = trip.start;
    writer.status(car.time - 5, EVENT_POWER_ON, car);
    const std::int64_t startAltitude = car.altitudeMm;
    for (std::size_t i = 0; i < trip.legCount; ++i) {
        const Leg& leg = trip.legs[i];
        for (std::uint32_t elapsed = 0; elapsed < leg.seconds; elapsed += trip.interval) {
            drive(car, leg, elapsed, trip.interval, random);
            sample(car, trip, startAltitude, writer, random);
        }
        car.speed = 0;
        car.climb = 0;
        const auto waited = static_cast<std::uint32_t>(leg.stop ? random.between(15, 45) : 0);
        for (std::uint32_t s = 0; s < waited; s += trip.interval) {
            car.fuelMicro -= 20 * trip.interval;
            sample(car, trip, startAltitude, writer, random);
        }
    }
    writer.status(car.time + 4, EVENT_POWER_OFF, car);
}

// While parked the logger wakes every hour to note the battery.
void park(Car& car, std::uint32_t until, std::int32_t ambientTenths, LogWriter& writer) {
    for (std::uint32_t at = car.time + 3600; at + 600 < until; at += 3600) {
        car.battery = static_cast<std::uint16_t>(car.battery - 15);
        writer.status(at, EVENT_STATUS, car);
    }
    warm(car, until - car.time, false, ambientTenths);
    car.battery = 12600;
}

std::vector<std::uint8_t> buildDemoLog() {
    std::vector<std::uint8_t> log(LOG_SIZE, 0xFF);
    LogWriter writer(log);
    Lcg random;
    Car car;
    for (std::size_t i = 0; i < std::size(TRIPS); ++i) {
        if (i > 0) park(car, TRIPS[i].start, TRIPS[i].ambientTenths, writer);
        runTrip(car, TRIPS[i], writer, random);
    }
    return log;
}

} // namespace

std::vector<std::uint8_t> demoLog() {
    static const std::vector<std::uint8_t> log = buildDemoLog();
    return log;
}

} // namespace sim
