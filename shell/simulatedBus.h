#pragma once
// Plugs in the simulated bridges and sensors that the environment variable TACTILE_SIM_BUS
// describes; without it no bridge is plugged in. Syntax: items separated by ';'.
//   demo                                  the built-in set (two bridges, nine sensors)
//   ch341 [id=N] [pca|nopca]              a bridge (CH341 or ch347); the multiplexer is present
//                                         unless nopca is given
//   sensor type=N [addr=N] [port=N] [id=N] [sn=TEXT] [period=MS] [fw=A.B.C] [boot]
//                                         a sensor on the last bridge: type code, 7-bit address
//                                         (0x61), multiplexer port 0..7 (4), id byte (3), serial
//                                         number, frame period in ms (10), firmware version; with
//                                         boot, the reset request 0xA1 enters its boot loader
// Numbers are decimal or 0x-hexadecimal. Items that do not parse are skipped with a warning.

#include <QString>

// Registers the catalogues as the simulator's model source and installs the environment's bus.
void installSimulatedBusFromEnvironment();

// Installs the bus a description gives; returns the number of sensors plugged in.
int installSimulatedBus(const QString& description);
