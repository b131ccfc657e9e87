#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tidyfox-clean duplicates --json and dead --json on an imported library, on a session bus of their own.
#   bench/million-clean.sh APPDIR DATADIR [ROUNDS]   (DATADIR: the XDG_DATA_HOME the library was imported into)
# Prints the load, wall and processor time and peak resident memory of each run (GNU time), then the service peak.
app=$1; data=$2; rounds=${3:-3}
exec dbus-run-session -- bash -c '
app=$1; export XDG_DATA_HOME=$2; rounds=$3
$app/tidyfox-clean dead --json > /dev/null
for i in $(seq $rounds); do
  uptime | sed "s/.*load/load/"
  /usr/bin/time -f "duplicates %e s wall %U+%S cpu %M KB" $app/tidyfox-clean duplicates --by name,artist --json > /dev/null
  /usr/bin/time -f "dead %e s wall %U+%S cpu %M KB" $app/tidyfox-clean dead --json > /dev/null
done
pid=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID string:org.tidyfox.Library | tail -1 | awk "{print \$2}")
grep VmHWM /proc/$pid/status
$app/tidyfox-library quit' _ "$app" "$data" "$rounds"
