#!/usr/bin/perl
# SPDX-License-Identifier: GPL-2.0-or-later
# Writes a raw.dat for the analysis benchmarks: MIB mebibytes, each one flight of 32768 point
# records one second apart (a drive through a city), each MiB a day after the one before.
# Usage: analysis_rawdat.pl OUTPUT MIB [POINTS_CSV]
# With POINTS_CSV it also writes the first MiB's points as a CSV table for other converters.
use strict;
use warnings;

my ($output, $mib, $points) = @ARGV;
die "usage: $0 OUTPUT MIB [POINTS_CSV]\n" unless defined $mib && $mib =~ /^\d+$/ && $mib > 0;

my $start = 1614936030;    # 2021-03-05 09:20:30 UTC
open(my $raw, '>:raw', $output) or die "$output: $!\n";
my $csv;
if (defined $points) {
    open($csv, '>', $points) or die "$points: $!\n";
    print $csv "lat,lon,alt,utc_d,utc_t\n";
}
for my $m (0 .. $mib - 1) {
    my $block = '';
    for my $i (0 .. 32767) {
        my $lat = 50.0 + 0.00001 * $i + 0.001 * sin($i / 500);
        my $lon = 19.9 + 0.000013 * $i + 0.001 * cos($i / 700);
        my $speed = 20 + ($i * 7) % 90;
        my $alt = 200 + int(60 * sin($i / 900));
        my $time = $start + 86400 * $m + $i;
        # type, time, lat, lon, speed, GPS altitude, course/2, satellites, RPM/10, T1, T2, Tz,
        # fuel, pressure, altitude, vario: big-endian as the logger stores them
        $block .= pack('C N f> f> C s> C C n s> s> c C n s> s>',
            1, $time, $lat, $lon, $speed, $alt + 3, ($i / 40) % 180, 9, 150 + $i % 300,
            21 + $i % 7, -3 + $i % 5, -10 + $i % 20, 80 - int($i / 1000), 1013, $alt,
            ($i % 11) - 5);
        if ($csv && $m == 0) {
            my @t = gmtime($time);
            printf $csv "%.6f,%.6f,%d,%04d/%02d/%02d,%02d:%02d:%02d\n",
                unpack('f>', pack('f>', $lat)), unpack('f>', pack('f>', $lon)), $alt,
                $t[5] + 1900, $t[4] + 1, $t[3], $t[2], $t[1], $t[0];
        }
    }
    print $raw $block;
}
close($raw) or die "$output: $!\n";
close($csv) if $csv;
