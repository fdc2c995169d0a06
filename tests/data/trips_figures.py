#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
# Writes tests/data/trips_figures.dat (a raw.dat of four trips, records that are not point records
# and a cut-short last piece) and tests/data/trips_figures.txt (each trip's figures), computed here
# independently of kvtrips: distances with GeographicLib's Python port (python3-geographiclib).
# Usage: python3 tests/data/trips_figures.py   (run from anywhere; rewrites both files)
import math
import os
import random
import struct

from geographiclib.geodesic import Geodesic

here = os.path.dirname(os.path.abspath(__file__))
random.seed(8)


def f32(x):
    return struct.unpack('>f', struct.pack('>f', x))[0]


def record(p, kind=1):
    return struct.pack('>BIffBhBBHhhbBHhh', kind, p['t'], p['lat'], p['lon'], p['speed'],
                       p['gpsalt'], p['course'] // 2, 9, p['rpm'] // 10, p['t1'], p['t2'],
                       p['tz'], p['fuel'], 1013, p['alt'], p['vario'])


def drive(start, n, lat, lon, alt, step=1):
    points = []
    t = start
    for k in range(n):
        points.append({'t': t, 'lat': f32(lat), 'lon': f32(lon), 'speed': random.choice([0, 1, 2, 3, 40, 90, 130]),
                       'gpsalt': alt + 2, 'course': random.randrange(0, 256) * 2,
                       'rpm': random.randrange(0, 6000, 10), 't1': random.randrange(-20, 100),
                       't2': random.randrange(-20, 100), 'tz': random.randrange(-30, 40),
                       'fuel': 80 - k // 10, 'alt': alt, 'vario': random.randrange(-5, 6)})
        t += step if k % 7 else 0  # equal times stay in one trip
        lat += random.uniform(-0.0004, 0.0004)
        lon += random.uniform(-0.0004, 0.0004)
        if lon > 180:
            lon -= 360
        if lon < -180:
            lon += 360
        alt += random.choice([-7, -4, -1, 0, 2, 4, 6, 11])
    return points


def figures(points):
    usable = [p for p in points if not math.isnan(p['lat']) and abs(p['lat']) <= 90 and abs(p['lon']) <= 180]
    distance = 0.0
    for a, b in zip(usable, usable[1:]):
        distance += Geodesic.WGS84.Inverse(a['lat'], a['lon'], b['lat'], b['lon'])['s12']
    moving = sum(b['t'] - a['t'] for a, b in zip(points, points[1:]) if b['speed'] >= 2)
    climb = descent = 0
    ref = points[0]['alt']
    for p in points[1:]:
        a = p['alt']
        if a - ref >= 5:
            climb += a - ref
            ref = a
        elif ref - a >= 5:
            descent += ref - a
            ref = a
    duration = points[-1]['t'] - points[0]['t']
    return [('start_epoch', points[0]['t']), ('end_epoch', points[-1]['t']), ('duration_s', duration),
            ('points', len(points)), ('positions', len(usable)), ('distance_m', '%.6f' % distance),
            ('moving_time_s', moving), ('max_speed_kmh', max(p['speed'] for p in points)),
            ('avg_speed_kmh', '%.9f' % (distance / duration * 3.6 if duration else 0)),
            ('min_altitude_m', min(p['alt'] for p in points)),
            ('max_altitude_m', max(p['alt'] for p in points)), ('climb_m', climb), ('descent_m', descent),
            ('max_rpm', max(p['rpm'] for p in points)), ('fuel_start_pct', points[0]['fuel']),
            ('fuel_end_pct', points[-1]['fuel']), ('min_tout_c', min(p['tz'] for p in points)),
            ('max_tout_c', max(p['tz'] for p in points)),
            ('min_lat', repr(min(p['lat'] for p in usable))), ('min_lon', repr(min(p['lon'] for p in usable))),
            ('max_lat', repr(max(p['lat'] for p in usable))), ('max_lon', repr(max(p['lon'] for p in usable)))]


T = 1749881400  # 2025-06-14 06:10:00 UTC
# 1: a drive of 300 points with a jump of several kilometres (measured as a long geodesic) and a
#    point whose latitude is not a number; 2: time goes back 30 s, a trip of its own; 3: more than
#    600 s later, across the date line; 4: one point.
trip1 = drive(T, 300, 47.26, 11.39, 600)
for p in trip1[150:]:
    p['lat'] = f32(p['lat'] + 0.05)
    p['lon'] = f32(p['lon'] - 0.03)
trip1[200]['lat'] = float('nan')
trip2 = drive(trip1[-1]['t'] - 30, 40, 47.5, 11.1, 900)
trip3 = drive(trip2[-1]['t'] + 601, 60, -16.5, 179.9995, 10)
trip4 = drive(trip3[-1]['t'] + 5000, 1, 60.0, -0.5, -12)

raw = b''
for k, p in enumerate(trip1):
    raw += record(p)
    if k == 10:
        raw += b'\xff' * 32                  # erased memory
    if k == 20:
        raw += record(dict(p, t=p['t'] + 5000), kind=2)  # not a point record
for p in trip2 + trip3 + trip4:
    raw += record(p)
raw += b'\x01\x68\x4d\x0b\x38\x00\x00'  # a piece shorter than a record

with open(os.path.join(here, 'trips_figures.dat'), 'wb') as out:
    out.write(raw)
with open(os.path.join(here, 'trips_figures.txt'), 'w') as out:
    out.write('# written by trips_figures.py: one block per trip, "name value" lines\n')
    for trip in (trip1, trip2, trip3, trip4):
        out.write('trip\n')
        for name, value in figures(trip):
            out.write('%s %s\n' % (name, value))
